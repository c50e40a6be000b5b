#include "app/FurtherFolderList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

FurtherFolderList::FurtherFolderList(qsizetype most, QWidget *parent)
    : QWidget(parent), most(most), adder(new QPushButton(tr("Add Folder"), this)) {
    adder->setObjectName("addFolderButton");
    adder->setToolTip(tr("Also copy every clip to another folder, from the same play-out"));
    adder->setAutoDefault(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The rows are made once and shown as the list grows, so that a remove button never deletes itself.
    for (qsizetype place = 0; place < most; ++place) {
        auto *row = new QWidget(this);
        row->setObjectName("furtherFolderRow");
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        auto *remove = new QPushButton(row);
        remove->setObjectName("removeFolderButton");
        remove->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
        remove->setToolTip(tr("Copy No More to This Folder"));
        remove->setAutoDefault(false);
        auto *label = new QLabel(row);
        label->setObjectName("furtherFolderLabel");
        rowLayout->addWidget(remove);
        rowLayout->addWidget(label, 1);
        layout->addWidget(row);
        connect(remove, &QPushButton::clicked, this, [this, place] {
            list.removeAt(place);
            showList();
        });
        rows.push_back(row);
        labels.push_back(label);
    }
    showList();
}

void FurtherFolderList::setFolders(const QStringList &folders) {
    list.clear();
    for (const QString &folder : folders)
        if (!folder.isEmpty() && list.size() < most)
            list << folder;
    showList();
}

void FurtherFolderList::add(const QString &folder) {
    if (folder.isEmpty() || list.size() >= most)
        return;
    list << folder;
    showList();
}

void FurtherFolderList::showList() {
    for (size_t place = 0; place < rows.size(); ++place) {
        const bool used = qsizetype(place) < list.size();
        if (used)
            labels[place]->setText(QString("<h4> <font color=#2494bc ><u>%1%2</u></br> </font></h4>")
                                       .arg(tr("Also Copy To: "), list[qsizetype(place)].toHtmlEscaped()));
        rows[place]->setVisible(used);
    }
    adder->setEnabled(list.size() < most);
}
