#pragma once

// The form for the operator's metadata of the window's batches: Title, Project, Operator and Notes, and
// further pairs as NAME=VALUE lines. An empty field gives no pair. OK checks every name and value (see
// batch/UserMetadata.h) and keeps the dialog open with the first problem shown until they pass.
//
// Threads: GUI thread only.

#include "verify/TransferReport.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

class MetadataDialog : public QDialog {
    Q_OBJECT

public:
    // The names of the form's own fields, in the order they are written.
    static const QStringList &fieldNames();

    // Fills the form from `pairs`: those named as a field in it, the others as lines.
    explicit MetadataDialog(const MetadataPairs &pairs, QWidget *parent = nullptr);

    // The pairs of the form: the fields in order, then the lines; valid once accept() passed.
    MetadataPairs pairs() const { return accepted; }
    // The problem shown after an OK that did not pass; empty otherwise.
    QString problem() const;

    void accept() override;

private:
    QList<QLineEdit *> fields;
    QPlainTextEdit *lines;
    QLabel *problemLabel;
    MetadataPairs accepted;
};
