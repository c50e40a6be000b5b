#include "ui/QiroComboBoxModel.h"

QiroComboBoxModel::QiroComboBoxModel(QObject *parent) : QStandardItemModel(parent) {}

Qt::ItemFlags QiroComboBoxModel::flags(const QModelIndex &index) const {
    const int row = index.row();
    if (row >= 0 && row < rowFlags.size())
        return rowFlags[row];
    return kDefaultFlags;
}

void QiroComboBoxModel::setRowFlags(int row, Qt::ItemFlags flags) {
    if (row < 0)
        return;
    if (row >= rowFlags.size())
        rowFlags.resize(row + 1, kDefaultFlags);
    rowFlags[row] = flags;
}
