#include "app/WindowDialogs.h"

#include "app/BatchSummaryDialog.h"
#include "app/FinishedFileChoice.h"
#include "app/MetadataDialog.h"

#include <QAbstractButton>
#include <QFileDialog>

QMessageBox::StandardButton WindowDialogs::message(QWidget *parent, QMessageBox::Icon icon,
                                                   const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, parent);
    // The question about a finished file (FinishedFileChoice::kReplaceButtons) says what each answer does.
    if (buttons == FinishedFileChoice::kReplaceButtons) {
        box.button(QMessageBox::Yes)->setText(QObject::tr("Replace"));
        box.button(QMessageBox::YesToAll)->setText(QObject::tr("Replace All"));
        box.button(QMessageBox::No)->setText(QObject::tr("Skip"));
        box.button(QMessageBox::NoToAll)->setText(QObject::tr("Skip All"));
    }
    return QMessageBox::StandardButton(box.exec());
}

QString WindowDialogs::existingDirectory(QWidget *parent, const QString &caption, const QString &start) {
    return QFileDialog::getExistingDirectory(parent, caption, start,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

void WindowDialogs::batchSummary(QWidget *parent, const BatchReport &report, const QString &destination) {
    BatchSummaryDialog dialog(report, destination, parent);
    dialog.exec();
}

std::optional<MetadataPairs> WindowDialogs::metadata(QWidget *parent, const MetadataPairs &current) {
    MetadataDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.pairs();
}
