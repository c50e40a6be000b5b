#include "batch/BatchLog.h"

#include <QDir>

BatchLog::BatchLog(const QString &folder, const QDateTime &at)
    : file(QDir(folder).filePath(fileNameFor(at))) {
    if (folder.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        file.setFileName(QString());
}

QString BatchLog::path() const {
    return file.isOpen() ? file.fileName() : QString();
}

QString BatchLog::fileNameFor(const QDateTime &at) {
    return QStringLiteral("vantrel-%1.log").arg(at.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

void BatchLog::line(const QString &text) {
    if (!file.isOpen())
        return;
    const QString stamped =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text + '\n';
    file.write(stamped.toUtf8());
    file.flush();
}

void BatchLog::batchStarted(int clips, const QString &destination) {
    line(QStringLiteral("batch started: %1 clip(s) into %2").arg(clips).arg(destination));
}

void BatchLog::leftovers(const QStringList &files) {
    for (const QString &leftover : files)
        line(QStringLiteral("left over from an earlier transfer that did not complete: %1").arg(leftover));
}

void BatchLog::clipStarted(const QString &clip) {
    line(QStringLiteral("%1: started").arg(clip));
}

void BatchLog::clipRestarted(const QString &clip, int restart, int allowed, const QString &reason) {
    line(QStringLiteral("%1: restart %2 of %3: %4").arg(clip).arg(restart).arg(allowed).arg(reason));
}

void BatchLog::clipFinished(const QString &clip, const QString &file) {
    line(QStringLiteral("%1: finished: %2").arg(clip, file));
}

void BatchLog::clipWarning(const QString &clip, const QString &warning) {
    line(QStringLiteral("%1: warning: %2").arg(clip, warning));
}

void BatchLog::clipFailed(const QString &clip, const QString &reason) {
    line(QStringLiteral("%1: failed: %2").arg(clip, reason));
}

void BatchLog::clipSkipped(const QString &clip, const QString &reason) {
    line(QStringLiteral("%1: skipped: %2").arg(clip, reason));
}

void BatchLog::hookOutput(const QString &owner, const QString &text) {
    line(QStringLiteral("[%1] %2").arg(owner, text));
}

void BatchLog::hookFailed(const QString &clip, const QString &hook, const QString &problem) {
    line(QStringLiteral("%1: hook %2 failed: %3").arg(clip, hook, problem));
}

void BatchLog::batchEnded(int finished, int clips, const QString &why) {
    const QString counts = QStringLiteral("batch ended: %1 of %2 clip(s) finished").arg(finished).arg(clips);
    line(why.isEmpty() ? counts : counts + QStringLiteral("; ") + why);
}
