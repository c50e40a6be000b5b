#include "verify/SoundLevels.h"

#include "verify/TimecodeBreaks.h"

#include <QJsonArray>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kFullScale = 8'388'608.0;
constexpr int32_t kHighestSample = 8'388'607;
constexpr int32_t kLowestSample = -8'388'608;
constexpr size_t kSampleBytes = 3;
constexpr int kSilenceThresholdDbfs = -60;

// One frame of one channel.
struct FrameMeasure {
    uint32_t peak = 0;
    int64_t sumOfSquares = 0; // at most 2^46 per sample: a frame's few thousand samples fit
    uint64_t clipped = 0;
};

FrameMeasure measure(std::span<const uint8_t> bytes) {
    const size_t count = bytes.size() / kSampleBytes;
    const uint8_t *sample = bytes.data();
    int32_t lowest = 0, highest = 0;
    int64_t squares = 0;
    uint64_t clipped = 0;
    for (size_t i = 0; i < count; ++i, sample += kSampleBytes) {
        // The three bytes into the top of a 32-bit word, then an arithmetic shift extends the sign.
        const int32_t value =
            int32_t(uint32_t(sample[0]) << 8 | uint32_t(sample[1]) << 16 | uint32_t(sample[2]) << 24) >> 8;
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        squares += int64_t(value) * value;
        clipped += uint64_t(value == kHighestSample) + uint64_t(value == kLowestSample);
    }
    return {uint32_t(std::max<int64_t>(highest, -int64_t(lowest))), squares, clipped};
}

double dbfs(double magnitude) {
    return magnitude > 0 ? 20.0 * std::log10(magnitude / kFullScale)
                         : -std::numeric_limits<double>::infinity();
}

// A level for the report: to 0.01 dB, null for minus infinity.
QJsonValue levelJson(double level) {
    return std::isfinite(level) ? QJsonValue(std::round(level * 100.0) / 100.0) : QJsonValue();
}

QString levelText(double level) {
    return std::isfinite(level) ? QString::number(level, 'f', 2) : QStringLiteral("-inf");
}

// The numbers of the channels (from 1) that `pick` chooses.
template <typename Pick> QStringList channelNumbers(const std::vector<ChannelLevels> &channels, Pick pick) {
    QStringList numbers;
    for (size_t k = 0; k < channels.size(); ++k)
        if (pick(channels[k]))
            numbers << QString::number(k + 1);
    return numbers;
}

bool clipped(const ChannelLevels &channel) {
    return channel.clippedSamples > 0;
}

bool silent(const ChannelLevels &channel) {
    return channel.silentThroughout;
}

double highestPeak(const std::vector<ChannelLevels> &channels) {
    uint32_t peak = 0;
    for (const ChannelLevels &channel : channels)
        peak = std::max(peak, channel.peak);
    return dbfs(peak);
}

} // namespace

double ChannelLevels::peakDbfs() const {
    return dbfs(peak);
}

double ChannelLevels::rmsDbfs() const {
    return samples == 0 ? dbfs(0) : dbfs(std::sqrt(sumOfSquares / double(samples)));
}

SoundLevels::SoundLevels(uint32_t channels, bool dropFrameCodes)
    : channelState(channels), dropFrame(dropFrameCodes) {}

void SoundLevels::addFrame(uint32_t timeCode, std::span<const std::span<const uint8_t>> channels) {
    for (size_t k = 0; k < channelState.size(); ++k) {
        Channel &channel = channelState[k];
        const std::span<const uint8_t> bytes = k < channels.size() ? channels[k] : std::span<const uint8_t>();
        const FrameMeasure frame = measure(bytes);
        ChannelLevels &levels = channel.levels;
        levels.peak = std::max(levels.peak, frame.peak);
        levels.sumOfSquares += double(frame.sumOfSquares);
        levels.samples += bytes.size() / kSampleBytes;
        levels.clippedSamples += frame.clipped;
        if (frame.peak > kSilentPeak) {
            endRun(channel, frames);
            continue;
        }
        if (channel.runFrames == 0)
            channel.runTimeCode = timeCode;
        ++channel.runFrames;
        channel.runSamples += bytes.size() / kSampleBytes;
        ++channel.silentFrames;
    }
    ++frames;
}

void SoundLevels::endRun(Channel &channel, uint64_t end) const {
    if (channel.runSamples >= kSilentRunSamples)
        channel.levels.silentRuns.push_back(
            {end - channel.runFrames, timecodeText(channel.runTimeCode, dropFrame), channel.runFrames});
    channel.runFrames = 0;
    channel.runSamples = 0;
}

std::vector<ChannelLevels> SoundLevels::result() const {
    std::vector<ChannelLevels> levels;
    for (Channel channel : channelState) {
        endRun(channel, frames);
        channel.levels.silentThroughout = frames > 0 && channel.silentFrames == frames;
        levels.push_back(std::move(channel.levels));
    }
    return levels;
}

QJsonObject soundJson(const std::vector<ChannelLevels> &channels) {
    QJsonArray perChannel;
    for (size_t k = 0; k < channels.size(); ++k) {
        const ChannelLevels &channel = channels[k];
        QJsonArray runs;
        for (const SilentRun &run : channel.silentRuns)
            runs.append(QJsonObject{{"startFrame", qint64(run.startFrame)},
                                    {"startTimeCode", run.startTimeCode},
                                    {"frames", qint64(run.frames)}});
        perChannel.append(QJsonObject{{"channel", qint64(k + 1)},
                                      {"peakDbfs", levelJson(channel.peakDbfs())},
                                      {"rmsDbfs", levelJson(channel.rmsDbfs())},
                                      {"clippedSamples", qint64(channel.clippedSamples)},
                                      {"silentRuns", runs},
                                      {"silentThroughout", channel.silentThroughout}});
    }
    const auto numbers = [&channels](auto pick) {
        QJsonArray list;
        for (const QString &number : channelNumbers(channels, pick))
            list.append(number.toInt());
        return list;
    };
    return QJsonObject{{"channels", perChannel},
                       {"peakDbfs", levelJson(highestPeak(channels))},
                       {"silentChannels", numbers(silent)},
                       {"clippedChannels", numbers(clipped)},
                       {"silenceThresholdDbfs", kSilenceThresholdDbfs}};
}

QString soundSummary(const std::vector<ChannelLevels> &channels) {
    if (channels.empty())
        return QStringLiteral("no sound channels");
    QString line = QStringLiteral("%1 %2, peak %3 dBFS")
                       .arg(channels.size())
                       .arg(channels.size() == 1 ? "channel" : "channels")
                       .arg(levelText(highestPeak(channels)));
    const auto add = [&line, &channels](auto pick, const char *what) {
        const QStringList numbers = channelNumbers(channels, pick);
        if (!numbers.isEmpty())
            line += QStringLiteral(", %1 %2 %3 (%4)")
                        .arg(numbers.size())
                        .arg(what)
                        .arg(numbers.size() == 1 ? "channel" : "channels")
                        .arg(numbers.join(", "));
    };
    add(silent, "silent");
    add(clipped, "clipped");
    return line;
}

QString soundWarning(const std::vector<ChannelLevels> &channels) {
    QStringList parts;
    const QStringList silentChannels = channelNumbers(channels, silent);
    if (!silentChannels.isEmpty())
        parts << QStringLiteral("silent throughout: %1 %2")
                     .arg(silentChannels.size() == 1 ? "channel" : "channels", silentChannels.join(", "));
    QStringList clippedChannels;
    for (size_t k = 0; k < channels.size(); ++k)
        if (clipped(channels[k]))
            clippedChannels << QStringLiteral("%1 (%2 %3)")
                                   .arg(k + 1)
                                   .arg(channels[k].clippedSamples)
                                   .arg(channels[k].clippedSamples == 1 ? "sample" : "samples");
    if (!clippedChannels.isEmpty())
        parts << QStringLiteral("clipped: %1 %2")
                     .arg(clippedChannels.size() == 1 ? "channel" : "channels", clippedChannels.join(", "));
    return parts.join(QStringLiteral("; "));
}
