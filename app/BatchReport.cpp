#include "app/BatchReport.h"

QString BatchReport::summary() const {
    QStringList parts;
    if (finished.isEmpty())
        parts << QStringLiteral("No file finished.");
    else if (finished.size() == 1)
        parts << QStringLiteral("1 file finished: %1.").arg(finished.last());
    else
        parts << QStringLiteral("%1 files finished, the last %2.").arg(finished.size()).arg(finished.last());
    for (const Failure &failure : failures)
        parts << QStringLiteral("%1 failed: %2.").arg(failure.clip, failure.reason);
    if (!stopped.isEmpty())
        parts << QStringLiteral("%1 was stopped.").arg(stopped);
    return parts.join(QLatin1Char(' '));
}
