#include "batch/CompletionHook.h"

#include <QMetaObject>
#include <QProcessEnvironment>
#include <csignal>
#include <unistd.h>

namespace {

const char kShell[] = "/bin/sh";
// The shell's own exit statuses for a command it could not run.
constexpr int kNotExecutable = 126;
constexpr int kNotFound = 127;
// Above this, the shell's status tells that its last command was ended by signal (status - 128).
constexpr int kSignalBase = 128;

QString secondsText(std::chrono::milliseconds span) {
    return QString::number(double(span.count()) / 1000.0, 'g', 6);
}

QString exitText(int code) {
    QString text = QStringLiteral("exited with status %1").arg(code);
    if (code == kNotExecutable)
        text += QStringLiteral(" (the command cannot be run)");
    else if (code == kNotFound)
        text += QStringLiteral(" (command not found)");
    else if (code > kSignalBase)
        text += QStringLiteral(" (its command was ended by signal %1)").arg(code - kSignalBase);
    return text;
}

} // namespace

CompletionHook::CompletionHook(QObject *parent) : QObject(parent) {
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // In the child before exec: a group of its own, and the signal dispositions and mask a shell expects
    // (the front ends catch or ignore some; ignored ones would survive exec). Only async-signal-safe calls.
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        struct sigaction plain {};
        plain.sa_handler = SIG_DFL;
        for (const int number : {SIGINT, SIGTERM, SIGQUIT, SIGPIPE, SIGHUP})
            ::sigaction(number, &plain, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
    });
    limitTimer.setSingleShot(true);
    graceTimer.setSingleShot(true);
    connect(&process, &QProcess::readyReadStandardOutput, this, [this] { readOutput(false); });
    connect(&process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        readOutput(true);
        if (!cutShort.isEmpty()) {
            // Whatever the command forked and left behind goes with it.
            signalGroup(SIGKILL);
            finish({false, cutShort});
        } else if (status == QProcess::CrashExit) {
            finish({false, QStringLiteral("was ended by a signal")});
        } else {
            finish({code == 0, code == 0 ? QString() : exitText(code)});
        }
    });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        // Never from inside start(): the caller's slot may not expect ended before start returns.
        QMetaObject::invokeMethod(
            this,
            [this, why = process.errorString()] {
                finish({false, "could not start: " + why});
            },
            Qt::QueuedConnection);
    });
    connect(&limitTimer, &QTimer::timeout, this, [this] {
        terminateGroup(QStringLiteral("did not end within %1 s and was killed").arg(secondsText(limit)));
    });
    connect(&graceTimer, &QTimer::timeout, this, [this] { signalGroup(SIGKILL); });
}

CompletionHook::~CompletionHook() {
    disconnect(&process, nullptr, this, nullptr);
    if (process.state() == QProcess::NotRunning)
        return;
    signalGroup(SIGKILL);
    process.waitForFinished(int(kGrace.count()));
}

void CompletionHook::start(const QString &command, const QMap<QString, QString> &variables,
                           std::chrono::milliseconds timeLimit) {
    if (busy)
        return;
    busy = true;
    pending.clear();
    cutShort.clear();
    limit = timeLimit;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto variable = variables.begin(); variable != variables.end(); ++variable)
        environment.insert(variable.key(), variable.value());
    process.setProcessEnvironment(environment);
    process.start(kShell, {QStringLiteral("-c"), command});
    group = process.processId();
    // Also from this side, so that a stop right after the start finds the group (the usual double call;
    // it fails harmlessly once the child has done it and run the shell).
    if (group > 0)
        ::setpgid(pid_t(group), pid_t(group));
    limitTimer.start(limit);
}

void CompletionHook::stop() {
    if (busy)
        terminateGroup(QStringLiteral("was stopped"));
}

bool CompletionHook::isRunning() const {
    return busy;
}

void CompletionHook::readOutput(bool atEnd) {
    pending += process.readAllStandardOutput();
    qsizetype from = 0;
    for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n', from)) {
        QByteArray line = pending.mid(from, end - from);
        if (line.endsWith('\r'))
            line.chop(1);
        emit outputLine(QString::fromUtf8(line));
        from = end + 1;
    }
    pending.remove(0, from);
    while (pending.size() > kLongestLine) {
        emit outputLine(QString::fromUtf8(pending.left(kLongestLine)));
        pending.remove(0, kLongestLine);
    }
    if (atEnd && !pending.isEmpty()) {
        emit outputLine(QString::fromUtf8(pending));
        pending.clear();
    }
}

void CompletionHook::terminateGroup(const QString &problem) {
    if (!cutShort.isEmpty())
        return;
    cutShort = problem;
    limitTimer.stop();
    signalGroup(SIGTERM);
    graceTimer.start(kGrace);
}

void CompletionHook::signalGroup(int signalNumber) {
    if (group > 0)
        ::kill(pid_t(-group), signalNumber);
}

void CompletionHook::finish(const Result &result) {
    limitTimer.stop();
    graceTimer.stop();
    group = 0;
    busy = false;
    emit ended(result);
}

QMap<QString, QString> clipHookVariables(const ClipHookFacts &facts) {
    return {{"VANTREL_CLIP", facts.clip},       {"VANTREL_REEL", facts.reel},
            {"VANTREL_STATUS", facts.status},   {"VANTREL_REASON", facts.reason},
            {"VANTREL_FILE", facts.file},       {"VANTREL_REPORT", facts.report},
            {"VANTREL_DEST", facts.destination}};
}

QMap<QString, QString> batchHookVariables(const BatchHookFacts &facts) {
    return {{"VANTREL_BATCH_STATUS", facts.status},
            {"VANTREL_FINISHED", QString::number(facts.finished)},
            {"VANTREL_SKIPPED", QString::number(facts.skipped)},
            {"VANTREL_FAILED", QString::number(facts.failed)},
            {"VANTREL_DEST", facts.destination}};
}
