// The window's clip table: reading the recorder's list into it, ticking and unticking rows, and its
// context menu.

#include "app/Vantrel.h"
#include "batch/ClipRules.h"
#include "recorder/QIROSRTransferDevice.h"
#include "ui/QiroComboBox.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QStandardItemModel>
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

void Vantrel::getFileList() {
    auto device = std::make_unique<QIROSRTransferDevice>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!device->open(portSelector->currentIndex())) {
        QApplication::restoreOverrideCursor();
        return;
    }
    fileList = device->readFileList();
    device->close();
    device.reset();

    fileModel->clear();
    fileModel->setColumnCount(int(fileList.columnNames.size()));
    for (size_t i = 0; i < fileList.columnNames.size(); ++i)
        fileModel->setHeaderData(int(i), Qt::Horizontal, utf8(fileList.columnNames[i]), Qt::EditRole);
    int row = 0;
    for (const SRFileInfo &file : fileList.files) {
        if (!isListed(file))
            continue;
        fileModel->insertRow(row);
        auto *name = textItem(file.fileName);
        name->setCheckable(true);
        name->setCheckState(Qt::Unchecked);
        fileModel->setItem(row, 0, name);
        // The box shows the state, but only a click on the row (checkFile) changes it.
        name->setCheckable(false);
        fileModel->setItem(row, 1, textItem(file.startText));
        fileModel->setItem(row, 2, textItem(file.durationText));
        fileModel->setItem(row, 3, textItem(file.formatText));
        fileModel->setItem(row, 4, textItem(file.dateText1));
        ++row;
    }
    fileTable->resizeColumnsToContents();
    fileTable->setSortingEnabled(false);
    QApplication::restoreOverrideCursor();
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
    menu.addAction("Rescan File List", this, &Vantrel::getFileList);
    menu.exec(fileTable->mapToGlobal(pos));
}
