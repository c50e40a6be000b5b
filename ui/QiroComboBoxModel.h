#pragma once

// The item model of QiroComboBox: a standard item model whose item flags are given per row. A row with
// flags of its own answers them; every other row (and an invalid index) answers the default flags,
// selectable and enabled. A row's own flags stay with the row number when entries are inserted or removed.
//
// Threads: GUI thread only.

#include <QList>
#include <QStandardItemModel>

class QiroComboBoxModel : public QStandardItemModel {
    Q_OBJECT

public:
    // The flags of every row without flags of its own: Qt::ItemIsSelectable | Qt::ItemIsEnabled (33).
    static constexpr Qt::ItemFlags kDefaultFlags{Qt::ItemIsSelectable | Qt::ItemIsEnabled};

    explicit QiroComboBoxModel(QObject *parent = nullptr);

    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Gives row its own flags. The rows before it that had none get the default flags as their own, so
    // rowsWithOwnFlags() becomes row + 1 when it was less. A negative row changes nothing.
    void setRowFlags(int row, Qt::ItemFlags flags);
    // The number of rows from 0 on that have flags of their own.
    qsizetype rowsWithOwnFlags() const { return rowFlags.size(); }

private:
    QList<Qt::ItemFlags> rowFlags;
};
