#pragma once

// What one batch of the window came to, clip by clip in the order the clips ended: each clip's outcome, the
// files it left and the reason of a failure, the files left over by earlier runs, and why the batch ended
// early, and the completion hooks that failed. Told in one line for the status line (summary) and in full by
// the end-of-batch summary dialog.

#include <QString>
#include <QStringList>
#include <vector>

class BatchReport {
public:
    enum class Outcome { Finished, Failed, Stopped, Skipped };
    struct Clip {
        QString name;
        Outcome outcome;
        QStringList files; // a finished clip's file first, then the files beside it; each copy's in turn
        QString reason;    // why it failed or was skipped
        int restarts = 0;
        QStringList warnings; // of a finished clip: what the user should know about its file
    };

    void clipFinished(const QString &clip, const QStringList &files, int restarts,
                      const QStringList &warnings = {});
    // files: those of the clip's copies that finished although another failed (see Vantrel.h), first
    // copy's first.
    void clipFailed(const QString &clip, const QString &reason, int restarts = 0,
                    const QStringList &files = {}, const QStringList &warnings = {});
    // The user stopped the transfer of clip.
    void clipStopped(const QString &clip);
    // A ticked clip the batch did not transfer.
    void clipSkipped(const QString &clip, const QString &reason);
    void setLeftovers(const QStringList &files) { leftoverFiles = files; }
    // Why the batch ended before its last clip (a board in use, a folder gone, a stop).
    void setEndedEarly(const QString &why) { early = why; }
    // A completion hook that did not succeed: whose (a clip's name, or the batch) and why.
    void hookFailed(const QString &owner, const QString &problem);
    // A manifest the batch added to a folder's ASC MHL history (one per folder, the first folder's first),
    // and what kept a file out of one or a history from being written.
    void addHashList(const QString &manifest) { hashListManifests << manifest; }
    void hashListFailed(const QString &problem) { hashListIssues << problem; }

    bool isEmpty() const { return entries.empty(); }
    const std::vector<Clip> &clips() const { return entries; }
    const QStringList &leftovers() const { return leftoverFiles; }
    const QString &endedEarly() const { return early; }
    // One line per hook that did not succeed: "the command run for SHOT01 exited with status 3".
    const QStringList &hookProblems() const { return hooks; }
    // The first folder's manifest; empty: none.
    QString hashList() const { return hashListManifests.value(0); }
    const QStringList &hashLists() const { return hashListManifests; }
    const QStringList &hashListProblems() const { return hashListIssues; }
    int finishedCount() const;

    // For example: "2 files finished, the last /out/REEL01/A001C002.mxf. A001C001: warning: <warning>.
    // A002C001 failed: <reason>."
    QString summary() const;
    // One clip's outcome in a few words: "finished (verified)", "failed: <reason>", "stopped", "skipped".
    static QString outcomeText(const Clip &clip);

private:
    std::vector<Clip> entries;
    QStringList leftoverFiles;
    QString early;
    QStringList hooks;
    QStringList hashListManifests;
    QStringList hashListIssues;
};
