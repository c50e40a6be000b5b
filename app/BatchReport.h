#pragma once

// What one batch of the window came to: the files it finished and the clips that failed, with their
// reasons, told in one line for the window's status line. A success gets no message box of its own; the
// line says it.

#include <QString>
#include <QStringList>
#include <vector>

class BatchReport {
public:
    void fileFinished(const QString &file) { finished.append(file); }
    void clipFailed(const QString &clip, const QString &reason) { failures.push_back({clip, reason}); }
    // The user stopped the transfer of clip.
    void clipStopped(const QString &clip) { stopped = clip; }

    bool isEmpty() const { return finished.isEmpty() && failures.empty() && stopped.isEmpty(); }
    const QStringList &finishedFiles() const { return finished; }

    // For example: "2 files finished, the last /out/REEL01/A001C002.mxf. A002C001 failed: <reason>."
    QString summary() const;

private:
    struct Failure {
        QString clip;
        QString reason;
    };
    QStringList finished;
    std::vector<Failure> failures;
    QString stopped;
};
