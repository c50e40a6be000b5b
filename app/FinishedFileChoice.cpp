#include "app/FinishedFileChoice.h"

#include "app/WindowDialogs.h"
#include "verify/TransferReport.h"

#include <QCoreApplication>
#include <QFileInfo>

bool FinishedFileChoice::transfers(WindowDialogs &dialogs, QWidget *parent, const QString &outputFile) {
    if (!QFileInfo::exists(outputFile) || standing == Standing::ReplaceAll)
        return true;
    const std::optional<QString> disagreement = finishedFileDisagreement(outputFile);
    if (standing == Standing::SkipAll && !disagreement)
        return false;
    const QString state =
        disagreement
            ? QCoreApplication::translate("FinishedFileChoice", "It does not agree with its report: %1.")
                  .arg(disagreement->toHtmlEscaped())
            : QCoreApplication::translate("FinishedFileChoice", "It agrees with its report.");
    const auto answer = dialogs.message(
        parent, QMessageBox::Question, QCoreApplication::translate("FinishedFileChoice", "File Exists"),
        QCoreApplication::translate("FinishedFileChoice", "<p>%1 is there already. %2 Replace it?")
            .arg(outputFile.toHtmlEscaped(), state),
        kReplaceButtons);
    if (answer == QMessageBox::YesToAll)
        standing = Standing::ReplaceAll;
    if (answer == QMessageBox::NoToAll)
        standing = Standing::SkipAll;
    return answer == QMessageBox::Yes || answer == QMessageBox::YesToAll;
}
