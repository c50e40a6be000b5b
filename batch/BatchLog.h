#pragma once

// The plain-text log of one batch, written into the destination folder as vantrel-<date>-<time>.log
// (vantrel-20261207-231500.log) by both front ends, so that an unattended batch can be read afterwards
// without them: its start, files left over by earlier runs, each clip's start, restarts and outcome with
// its reason or warnings, and its end. Each line begins with the local time; each is flushed as it is
// written, so a killed run leaves every line up to its end.
//
// A log that cannot be created writes nothing (the batch goes on; path() is then empty).
//
// Threads: one thread at a time.

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

class BatchLog {
public:
    // Creates the log in folder, named after `at` (another batch started in the same second appends).
    explicit BatchLog(const QString &folder, const QDateTime &at = QDateTime::currentDateTime());

    // The log's path; empty when it could not be created.
    QString path() const;
    // The log's file name for a batch started at `at`.
    static QString fileNameFor(const QDateTime &at);
    // A pattern that matches every such name: a log grows after a hash list has listed the files of its
    // batch, so the list declares its logs as files to skip.
    static constexpr char kFilePattern[] = "vantrel-*.log";

    void batchStarted(int clips, const QString &destination);
    void leftovers(const QStringList &files);
    void clipStarted(const QString &clip);
    void clipRestarted(const QString &clip, int restart, int allowed, const QString &reason);
    void clipFinished(const QString &clip, const QString &file);
    // Something about a finished clip's file the user should know (sound padded, a folder not synced).
    void clipWarning(const QString &clip, const QString &warning);
    void clipFailed(const QString &clip, const QString &reason);
    // A clip the batch did not reach (stopped, or the batch ended before it).
    void clipSkipped(const QString &clip, const QString &reason);
    // A line a completion hook wrote; owner names its clip (REEL/CLIP) or the batch.
    void hookOutput(const QString &owner, const QString &text);
    // A completion hook (named by its option, run for a clip or for the batch) that did not succeed.
    void hookFailed(const QString &clip, const QString &hook, const QString &problem);
    // finished of clips were finished; why is empty for a batch that went through all its clips.
    void batchEnded(int finished, int clips, const QString &why = QString());

private:
    void line(const QString &text);

    QFile file;
};
