#include "ui/QiroComboBox.h"

#include "ui/QiroComboBoxItemDelegate.h"

#include <QListView>
#include <QStyle>
#include <QWheelEvent>

namespace {

// Enough rows that the window's short lists never scroll.
constexpr int kMaxVisibleItems = 100;

} // namespace

QiroComboBox::QiroComboBox(QWidget *parent) : QComboBox(parent), model(new QiroComboBoxModel(this)) {
    setModel(model);
    setView(new QListView);
    setItemDelegate(new QiroComboBoxItemDelegate(this));
    setMaxVisibleItems(kMaxVisibleItems);
    connect(this, &QComboBox::currentIndexChanged, this, &QiroComboBox::indexHasChanged);
}

void QiroComboBox::setCloaked(bool on) {
    cloaked = on;
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void QiroComboBox::setChecked(int row, bool on) {
    QStandardItem *item = model->item(row);
    if (item == nullptr)
        return;
    item->setCheckable(on);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void QiroComboBox::setAllChecked(bool on) {
    for (int row = 0; row < count(); ++row)
        setChecked(row, on);
}

void QiroComboBox::insertSeparator(int index) {
    insertItem(index, QIcon(), QString(), QiroComboBoxItemDelegate::kSeparatorMarker);
}

void QiroComboBox::indexHasChanged(int index) {
    setAllChecked(false);
    if (index >= 0 && index < count())
        setChecked(index, true);
}

void QiroComboBox::showPopup() {
    // The style draws the frame around the list (and its margins) in the frame's own palette.
    view()->ensurePolished();
    QPalette colours = view()->palette();
    colours.setBrush(QPalette::Window, colours.base());
    view()->parentWidget()->setPalette(colours);
    QComboBox::showPopup();
}

void QiroComboBox::wheelEvent(QWheelEvent *event) {
    if (rect().contains(event->position().toPoint()))
        QComboBox::wheelEvent(event);
    else
        event->ignore();
}
