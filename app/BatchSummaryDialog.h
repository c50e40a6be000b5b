#pragma once

// The end-of-batch summary: one row per clip of the batch with its outcome, the files it left and the reason
// of a failure (in full as the row's tool tip) or a finished clip's warnings (with a warning mark), the
// in-progress files left over by earlier runs, why the batch ended early, and a button that opens the
// destination folder in the desktop's file manager.
//
// Threads: GUI thread only.

#include "app/BatchReport.h"

#include <QDialog>

class QTableWidget;

class BatchSummaryDialog : public QDialog {
    Q_OBJECT

public:
    BatchSummaryDialog(const BatchReport &report, const QString &destination, QWidget *parent = nullptr);

    // The table of clips: columns clip, outcome, files.
    QTableWidget *clipTable() const { return table; }

private:
    QTableWidget *table;
};
