#pragma once

// The modal dialogs the main window opens: its message boxes, the folder chooser, the end-of-batch
// summary and the metadata form. The window asks
// through this seam, so that tests answer in place of a person.
//
// Threads: GUI thread only.

#include "app/BatchReport.h"
#include "verify/TransferReport.h"

#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

class WindowDialogs {
public:
    virtual ~WindowDialogs() = default;

    // A modal message box on parent; returns the button pressed. With FinishedFileChoice::kReplaceButtons
    // the buttons read Replace, Replace All, Skip and Skip All.
    virtual QMessageBox::StandardButton message(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                                const QString &text, QMessageBox::StandardButtons buttons);
    // A folder chosen by the user, starting at start; empty when the chooser was cancelled.
    virtual QString existingDirectory(QWidget *parent, const QString &caption, const QString &start);
    // The summary of a batch that ended (BatchSummaryDialog), modal on parent, until the user closes it.
    virtual void batchSummary(QWidget *parent, const BatchReport &report, const QString &destination);
    // The metadata form (MetadataDialog) filled with `current`, modal on parent: the pairs the user
    // confirmed, or nothing when the form was cancelled.
    virtual std::optional<MetadataPairs> metadata(QWidget *parent, const MetadataPairs &current);
};
