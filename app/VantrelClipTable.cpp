// The window's clip table: reading the recorder's list into it (and telling when that list is incomplete),
// ticking and unticking rows, the Status column, and its context menu.

#include "app/Vantrel.h"
#include "batch/ClipRules.h"
#include "batch/SharedNames.h"
#include "recorder/QIROSRTransferDevice.h"
#include "ui/QiroComboBox.h"

#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>

namespace {

QString utf8(const std::string &text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QStandardItem *textItem(const std::string &text) {
    auto *item = new QStandardItem(utf8(text));
    item->setEditable(false);
    return item;
}

const char kStatusHeader[] = "Status";

} // namespace

std::vector<std::pair<size_t, QStandardItem *>> Vantrel::rows() const {
    std::vector<std::pair<size_t, QStandardItem *>> table;
    for (size_t i = 0; i < fileList.files.size(); ++i) {
        if (!isListed(fileList.files[i]))
            continue;
        if (QStandardItem *item = fileModel->item(int(table.size()), 0))
            table.emplace_back(i, item);
    }
    return table;
}

// A reading that breaks off keeps the clips read; one whose line cannot be opened keeps the table as it was.
// Either is told in the status line at once and in a box once the event loop runs, so that a window still
// being built has its dialogs in place first.
void Vantrel::getFileList() {
    if (!isIdle())
        return;
    auto device = std::make_unique<QIROSRTransferDevice>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!device->open(portSelector->currentIndex())) {
        QApplication::restoreOverrideCursor();
        listProblem = tr("The recorder's control line cannot be opened: no capture board, or its serial line "
                         "is in use. The clip list is as it was.");
        statusLine->setText(listProblem);
        QMetaObject::invokeMethod(this, &Vantrel::reportIncompleteList, Qt::QueuedConnection);
        return;
    }
    fileList = device->readFileList();
    device->close();
    device.reset();

    fileModel->clear();
    fileModel->setColumnCount(int(fileList.columnNames.size()) + 1);
    for (size_t i = 0; i < fileList.columnNames.size(); ++i)
        fileModel->setHeaderData(int(i), Qt::Horizontal, utf8(fileList.columnNames[i]), Qt::EditRole);
    fileModel->setHeaderData(int(fileList.columnNames.size()), Qt::Horizontal, tr(kStatusHeader),
                             Qt::EditRole);
    // The recorder selects by name: a clip that shares its name may be played in place of another.
    const std::vector<bool> shared = sharesFileName(fileList.files);
    int row = 0;
    for (size_t i = 0; i < fileList.files.size(); ++i) {
        const SRFileInfo &file = fileList.files[i];
        if (!isListed(file))
            continue;
        fileModel->insertRow(row);
        auto *name = textItem(file.fileName);
        name->setCheckable(true);
        name->setCheckState(Qt::Unchecked);
        if (shared[i]) {
            name->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
            name->setToolTip(tr(kSharedNameNote));
        }
        fileModel->setItem(row, 0, name);
        // The box shows the state, but only a click on the row (checkFile) changes it.
        name->setCheckable(false);
        fileModel->setItem(row, 1, textItem(file.startText));
        fileModel->setItem(row, 2, textItem(file.durationText));
        fileModel->setItem(row, 3, textItem(file.formatText));
        fileModel->setItem(row, 4, textItem(file.dateText1));
        fileModel->setItem(row, kStatusColumn, textItem({}));
        ++row;
    }
    fileTable->resizeColumnsToContents();
    fileTable->setSortingEnabled(false);
    QApplication::restoreOverrideCursor();
    if (fileList.complete) {
        listProblem.clear();
        statusLine->clear();
        return;
    }
    const qsizetype count = qsizetype(fileList.files.size());
    const QString read = fileList.announced >= 0
                             ? tr("%1 of %2 clips read").arg(count).arg(fileList.announced)
                         : count == 1 ? tr("1 clip read")
                                      : tr("%1 clips read").arg(count);
    listProblem =
        tr("The recorder's list is incomplete: %1. It stopped answering, answered wrongly or stayed "
           "busy.")
            .arg(read);
    statusLine->setText(listProblem);
    QMetaObject::invokeMethod(this, &Vantrel::reportIncompleteList, Qt::QueuedConnection);
}

void Vantrel::reportIncompleteList() {
    if (listProblem.isEmpty() || !isIdle())
        return;
    const QString text = listProblem + tr(" Rescan the recorder?");
    if (message(QMessageBox::Warning, tr("Incomplete Clip List"), text,
                QMessageBox::Retry | QMessageBox::Cancel) == QMessageBox::Retry)
        getFileList();
}

QStandardItem *Vantrel::statusOf(const ClipKey &clip) const {
    for (const auto &[file, item] : rows())
        if (keyOf(fileList.files[file]) == clip)
            return fileModel->item(item->row(), kStatusColumn);
    return nullptr;
}

void Vantrel::setStatus(const ClipKey &clip, const QString &text, const QString &tip) {
    if (QStandardItem *item = statusOf(clip)) {
        item->setText(text);
        item->setToolTip(tip.isEmpty() ? text : tip);
        item->setIcon(QIcon());
    }
}

void Vantrel::checkFile(const QModelIndex &index) {
    QStandardItem *item = fileModel->item(index.row(), 0);
    if (!item)
        return;
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void Vantrel::setAllRows(Qt::CheckState state) {
    for (const auto &row : rows())
        row.second->setCheckState(state);
}

void Vantrel::checkAllFiles() {
    setAllRows(Qt::Checked);
}

void Vantrel::uncheckAllFiles() {
    setAllRows(Qt::Unchecked);
}

void Vantrel::tableContextPopup(const QPoint &pos) {
    QMenu menu;
    menu.setStyleSheet("QMenu {color: rgb(207,231,255);}");
    if (!fileList.files.empty()) {
        menu.addAction("Check All Files", QKeySequence::SelectAll, this, &Vantrel::checkAllFiles);
        menu.addAction("Uncheck All Files", QKeySequence::Undo, this, &Vantrel::uncheckAllFiles);
        menu.addSeparator();
    }
    // A rescan would replace the rows a running batch works through.
    menu.addAction("Rescan File List", this, &Vantrel::getFileList)->setEnabled(isIdle());
    menu.exec(fileTable->mapToGlobal(pos));
}
