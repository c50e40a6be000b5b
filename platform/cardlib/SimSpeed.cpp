#include "platform/cardlib/SimSpeed.h"

#include <QString>
#include <cmath>

namespace cardlib {

namespace {

// One picture at 30000/1001 pictures per second.
constexpr double kRealTimeIntervalSeconds = 1001.0 / 30000.0;

} // namespace

std::chrono::nanoseconds SimSpeed::pictureInterval() const {
    return std::chrono::nanoseconds(int64_t(kRealTimeIntervalSeconds / factor * 1e9));
}

SimSpeed simSpeedFromEnvironment() {
    const QString text = qEnvironmentVariable(kSimSpeedVariable).trimmed();
    if (text.compare(QLatin1String("max"), Qt::CaseInsensitive) == 0)
        return {true, 1.0};
    bool ok = false;
    const double factor = text.toDouble(&ok);
    if (ok && std::isfinite(factor) && factor > 0)
        return {false, factor};
    return {};
}

} // namespace cardlib
