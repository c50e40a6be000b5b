#include "app/BatchReport.h"

#include <algorithm>

void BatchReport::clipFinished(const QString &clip, const QStringList &files, int restarts,
                               const QStringList &warnings) {
    entries.push_back({clip, Outcome::Finished, files, {}, restarts, warnings});
}

void BatchReport::clipFailed(const QString &clip, const QString &reason, int restarts,
                             const QStringList &files, const QStringList &warnings) {
    entries.push_back({clip, Outcome::Failed, files, reason, restarts, warnings});
}

void BatchReport::clipStopped(const QString &clip) {
    entries.push_back({clip, Outcome::Stopped, {}, {}, 0, {}});
}

void BatchReport::clipSkipped(const QString &clip, const QString &reason) {
    entries.push_back({clip, Outcome::Skipped, {}, reason, 0, {}});
}

void BatchReport::hookFailed(const QString &owner, const QString &problem) {
    hooks << QStringLiteral("the command run for %1 %2").arg(owner, problem);
}

int BatchReport::finishedCount() const {
    return int(std::count_if(entries.begin(), entries.end(),
                             [](const Clip &clip) { return clip.outcome == Outcome::Finished; }));
}

QString BatchReport::summary() const {
    QStringList parts;
    QStringList finished;
    for (const Clip &clip : entries)
        if (clip.outcome == Outcome::Finished && !clip.files.isEmpty())
            finished << clip.files.first();
    if (finished.isEmpty())
        parts << QStringLiteral("No file finished.");
    else if (finished.size() == 1)
        parts << QStringLiteral("1 file finished: %1.").arg(finished.last());
    else
        parts << QStringLiteral("%1 files finished, the last %2.").arg(finished.size()).arg(finished.last());
    for (const Clip &clip : entries) {
        for (const QString &warning : clip.warnings)
            parts << QStringLiteral("%1: warning: %2.").arg(clip.name, warning);
        if (clip.outcome == Outcome::Failed)
            parts << QStringLiteral("%1 failed: %2.").arg(clip.name, clip.reason);
        else if (clip.outcome == Outcome::Stopped)
            parts << QStringLiteral("%1 was stopped.").arg(clip.name);
    }
    const auto skipped = std::count_if(entries.begin(), entries.end(),
                                       [](const Clip &clip) { return clip.outcome == Outcome::Skipped; });
    if (skipped > 0)
        parts << QStringLiteral("%1 skipped.")
                     .arg(skipped == 1 ? QStringLiteral("1 clip") : QStringLiteral("%1 clips").arg(skipped));
    for (const QString &hook : hooks)
        parts << hook.left(1).toUpper() + hook.mid(1) + '.';
    for (const QString &problem : hashListIssues)
        parts << QStringLiteral("Hash list: %1.").arg(problem);
    if (!leftoverFiles.isEmpty())
        parts << QStringLiteral("%1 left over from earlier transfers.")
                     .arg(leftoverFiles.size() == 1
                              ? QStringLiteral("1 in-progress file")
                              : QStringLiteral("%1 in-progress files").arg(leftoverFiles.size()));
    return parts.join(QLatin1Char(' '));
}

QString BatchReport::outcomeText(const Clip &clip) {
    switch (clip.outcome) {
    case Outcome::Finished:
        return QStringLiteral("finished (verified)");
    case Outcome::Failed:
        return QStringLiteral("failed: %1").arg(clip.reason);
    case Outcome::Stopped:
        return QStringLiteral("stopped");
    case Outcome::Skipped:
        return clip.reason.isEmpty() ? QStringLiteral("skipped")
                                     : QStringLiteral("skipped: %1").arg(clip.reason);
    }
    return {};
}
