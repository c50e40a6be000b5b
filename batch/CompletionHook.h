#pragma once

// A user's command run when a clip or a batch is done (--on-clip-done, --on-batch-done, and the window's
// settings of the same name): one command at a time, through /bin/sh -c, asynchronously, so that the event
// loop of either front end keeps running while it works.
//
// Promises:
// - The command gets the process's environment plus the given variables, /dev/null as its stdin, and a
//   process group of its own (so that the terminal's Ctrl+C reaches the transfer, not the hook).
// - Its stdout and stderr, merged, arrive as outputLine, one line at a time without its line end (a line
//   longer than kLongestLine arrives in pieces; a last line without a line end arrives at the end).
// - It has a time limit: when the limit passes, or on stop(), its whole process group gets SIGTERM, and
//   SIGKILL kGrace later or as soon as the command itself has ended, so that nothing it forked lingers.
//   A command that ends by itself in time may leave background work running; the hook ends there.
// - ended follows every start exactly once (also when the command cannot start), after the last
//   outputLine; the hook is idle again when it arrives and may be started from its slot.
// - The hook never touches a file itself: whatever it reports, what was written before stays as it is.
// - Destroying a running hook kills its process group at once and waits for it.
//
// Threads: the thread that owns the object, with a running event loop.
//
// The variables a hook gets are made here for both front ends, so that they name them alike.

#include <QMap>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <chrono>

class CompletionHook : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultLimit{600000};
    static constexpr std::chrono::milliseconds kGrace{2000};
    static constexpr qsizetype kLongestLine = 64 * 1024;

    struct Result {
        bool succeeded = false;
        // Why it did not succeed, as a phrase to follow the hook's name: "exited with status 3",
        // "did not end within 600 s and was killed", "was stopped", "could not start: ...".
        QString problem;
    };

    explicit CompletionHook(QObject *parent = nullptr);
    ~CompletionHook() override;

    // Starts command with variables added to the environment; limit is its time limit. Only while idle.
    void start(const QString &command, const QMap<QString, QString> &variables,
               std::chrono::milliseconds limit = kDefaultLimit);
    // Ends a running command as its time limit would; ended follows with "was stopped". Idle: nothing.
    void stop();
    bool isRunning() const;

signals:
    void outputLine(const QString &line);
    void ended(const CompletionHook::Result &result);

private:
    void readOutput(bool atEnd);
    void terminateGroup(const QString &problem);
    void signalGroup(int signalNumber);
    void finish(const Result &result);

    QProcess process;
    QTimer limitTimer;
    QTimer graceTimer;
    bool busy = false; // from start until ended
    qint64 group = 0;  // the command's process group (its process id), 0 while none runs
    QByteArray pending;
    QString cutShort; // set once the group was told to end: why
    std::chrono::milliseconds limit{kDefaultLimit};
};

// What a clip's hook is told: VANTREL_CLIP, VANTREL_REEL, VANTREL_STATUS (finished, skipped or failed),
// VANTREL_REASON (why it failed, else empty), VANTREL_FILE and VANTREL_REPORT (the finished file and its
// report; empty when nothing was written), VANTREL_DEST (the destination folder).
struct ClipHookFacts {
    QString clip;
    QString reel;
    QString status;
    QString reason;
    QString file;
    QString report;
    QString destination;
};
QMap<QString, QString> clipHookVariables(const ClipHookFacts &facts);

// What the batch's hook is told: VANTREL_BATCH_STATUS (finished: every clip finished; failed: one did not;
// stopped: the user stopped the batch), VANTREL_FINISHED, VANTREL_SKIPPED, VANTREL_FAILED (counts of clips)
// and VANTREL_DEST.
struct BatchHookFacts {
    QString status;
    int finished = 0;
    int skipped = 0;
    int failed = 0;
    QString destination;
};
QMap<QString, QString> batchHookVariables(const BatchHookFacts &facts);
