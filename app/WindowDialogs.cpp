#include "app/WindowDialogs.h"

#include "app/BatchSummaryDialog.h"

#include <QFileDialog>

QMessageBox::StandardButton WindowDialogs::message(QWidget *parent, QMessageBox::Icon icon,
                                                   const QString &title, const QString &text,
                                                   QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, parent);
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
