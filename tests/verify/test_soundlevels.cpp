// The sound check: levels, clipped samples and silent runs from synthetic frames at their boundaries, and
// from the simulated recorder's generated sound as a manifest describes it.

#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/EssenceSource.h"
#include "verify/SoundLevels.h"

#include <QJsonArray>
#include <gtest/gtest.h>
#include <vector>

namespace {

// 24-bit little-endian samples.
std::vector<uint8_t> samplesOf(const std::vector<int32_t> &values) {
    std::vector<uint8_t> bytes;
    for (const int32_t value : values)
        for (int b = 0; b < 3; ++b)
            bytes.push_back(uint8_t(uint32_t(value) >> (8 * b)));
    return bytes;
}

// One frame of `count` samples, the first at `value`, the rest zero.
std::vector<uint8_t> frameWithPeak(int32_t value, size_t count = 1920) {
    std::vector<int32_t> values(count, 0);
    values[0] = value;
    return samplesOf(values);
}

// 10:00:00:ff as a lead-in time code (BCD) at 25 frames a second.
uint32_t timeCode(uint32_t frame) {
    const uint32_t seconds = frame / 25, frames = frame % 25;
    return 0x10u << 24 | (seconds / 10 << 4 | seconds % 10) << 8 | (frames / 10 << 4 | frames % 10);
}

} // namespace

TEST(SoundLevels, CountsSamplesAtEitherFullScaleAsClippedAndTakesPeakAndRmsAgainstTwoToThe23) {
    SoundLevels levels(1, false);
    const std::vector<uint8_t> frame = samplesOf({8388607, -8388608, -8388607, 8388606, 0, 0, 0, 0});
    const std::vector<std::span<const uint8_t>> channels{frame};
    levels.addFrame(0, channels);
    levels.addFrame(0, channels);
    const ChannelLevels channel = levels.result().at(0);
    EXPECT_EQ(channel.clippedSamples, 4u);
    EXPECT_EQ(channel.peak, 8388608u);
    EXPECT_DOUBLE_EQ(channel.peakDbfs(), 0.0);
    // Four of eight samples at (nearly) full scale: an RMS of 1/sqrt(2), -3.01 dB.
    EXPECT_NEAR(channel.rmsDbfs(), -3.0103, 1e-4);
    EXPECT_EQ(channel.samples, 16u);
}

TEST(SoundLevels, FindsSilentRunsOfAtLeastOneSecondAtOrBelowMinus60Dbfs) {
    SoundLevels levels(3, false);
    uint32_t frame = 0;
    const auto add = [&](int frames, int32_t peak) {
        const std::vector<uint8_t> samples = frameWithPeak(peak);
        // Channel 2 stays zero; channel 3 has no samples at all.
        const std::vector<uint8_t> zero = frameWithPeak(0);
        const std::vector<std::span<const uint8_t>> channels{samples, zero};
        for (int i = 0; i < frames; ++i)
            levels.addFrame(timeCode(frame++), channels);
    };
    add(3, 8389);   // -59.9998 dBFS: sound
    add(24, 8388);  // -60.0002 dBFS: silent, but 46,080 samples, short of a second
    add(1, -8389);  // sound
    add(25, -8388); // 48,000 samples: one second, from frame 28 (10:00:01:03)
    add(2, 100000); // sound
    add(30, 0);     // silent up to the last frame, from frame 55 (10:00:02:05)
    const std::vector<ChannelLevels> result = levels.result();
    ASSERT_EQ(result.size(), 3u);
    const std::vector<SilentRun> &runs = result[0].silentRuns;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].startFrame, 28u);
    EXPECT_EQ(runs[0].startTimeCode, "10:00:01:03");
    EXPECT_EQ(runs[0].frames, 25u);
    EXPECT_EQ(runs[1].startFrame, 55u);
    EXPECT_EQ(runs[1].startTimeCode, "10:00:02:05");
    EXPECT_EQ(runs[1].frames, 30u);
    EXPECT_FALSE(result[0].silentThroughout);
    EXPECT_TRUE(result[1].silentThroughout);
    ASSERT_EQ(result[1].silentRuns.size(), 1u);
    EXPECT_EQ(result[1].silentRuns[0].frames, 85u);
    // A channel without samples is silent throughout, but holds no second of samples.
    EXPECT_TRUE(result[2].silentThroughout);
    EXPECT_TRUE(result[2].silentRuns.empty());
}

TEST(SoundLevels, ReportsAndSummarisesSilentAndClippedChannels) {
    SoundLevels levels(3, true);
    const std::vector<uint8_t> clipped = frameWithPeak(-8388608, 48000);
    const std::vector<uint8_t> silent = frameWithPeak(0, 48000);
    const std::vector<uint8_t> tone = frameWithPeak(4'000'000, 48000);
    const std::vector<std::span<const uint8_t>> channels{clipped, silent, tone};
    levels.addFrame(0x01000000, channels);
    const std::vector<ChannelLevels> result = levels.result();

    EXPECT_EQ(soundSummary(result),
              "3 channels, peak 0.00 dBFS, 1 silent channel (2), 1 clipped channel (1)");
    EXPECT_EQ(soundWarning(result), "silent throughout: channel 2; clipped: channel 1 (1 sample)");
    EXPECT_EQ(soundSummary({result[2]}), "1 channel, peak -6.43 dBFS");
    EXPECT_EQ(soundWarning({result[2]}), "");

    const QJsonObject json = soundJson(result);
    EXPECT_EQ(json["peakDbfs"].toDouble(), 0.0);
    EXPECT_EQ(json["silentChannels"].toArray(), QJsonArray{2});
    EXPECT_EQ(json["clippedChannels"].toArray(), QJsonArray{1});
    EXPECT_EQ(json["silenceThresholdDbfs"].toInt(), -60);
    const QJsonArray perChannel = json["channels"].toArray();
    ASSERT_EQ(perChannel.size(), 3);
    EXPECT_EQ(perChannel[1]["channel"].toInt(), 2);
    EXPECT_TRUE(perChannel[1]["peakDbfs"].isNull());
    EXPECT_TRUE(perChannel[1]["rmsDbfs"].isNull());
    EXPECT_TRUE(perChannel[1]["silentThroughout"].toBool());
    EXPECT_EQ(perChannel[1]["silentRuns"].toArray(),
              (QJsonArray{QJsonObject{{"startFrame", 0}, {"startTimeCode", "01:00:00;00"}, {"frames", 1}}}));
    EXPECT_EQ(perChannel[0]["clippedSamples"].toInt(), 1);
    EXPECT_EQ(perChannel[2]["peakDbfs"].toDouble(), -6.43);
    EXPECT_FALSE(perChannel[2]["silentThroughout"].toBool());
}

// The simulated recorder's sound as a manifest describes it, measured as the writer measures it.
TEST(SoundLevels, MeasuresTheRecordersGeneratedTonesSilenceAndClippingAsTheManifestSetsThem) {
    ManifestClip clip = demoManifest().clips.at(0); // 29.97 frames a second, drop frame, from 01:00:00;00
    ASSERT_EQ(clip.record.soundChannels, 8);
    clip.essence.sound = {ChannelSound{SoundTone{1000, -20.0}, false, std::nullopt, 0},
                          ChannelSound{SoundTone{997, -0.5}, false, std::nullopt, 0},
                          ChannelSound{std::nullopt, true, std::nullopt, 0},
                          ChannelSound{SoundTone{440, -12.0}, false, 40u, 75},
                          ChannelSound{SoundTone{1000, 6.0}, false, std::nullopt, 0}};
    EssenceSource essence(clip);
    SoundLevels levels(8, true);
    std::vector<std::vector<uint8_t>> sound(8);
    for (uint64_t frame = 0; frame < 150; ++frame) {
        std::vector<std::span<const uint8_t>> channels;
        for (uint32_t k = 0; k < 8; ++k) {
            sound[k].clear();
            essence.sound(k, frame, 1, sound[k]);
            channels.push_back(sound[k]);
        }
        levels.addFrame(essence.timeCode(frame), channels);
    }
    const std::vector<ChannelLevels> result = levels.result();
    // A sine's level is its peak; its RMS is 3.01 dB below.
    for (const auto &[channel, level] : {std::pair{0, -20.0}, std::pair{1, -0.5}, std::pair{3, -12.0}}) {
        EXPECT_NEAR(result[channel].peakDbfs(), level, 0.05) << "channel " << channel + 1;
        if (channel != 3) {
            EXPECT_NEAR(result[channel].rmsDbfs(), level - 3.01, 0.05) << "channel " << channel + 1;
        }
        EXPECT_EQ(result[channel].clippedSamples, 0u);
    }
    EXPECT_TRUE(result[2].silentThroughout);
    EXPECT_FALSE(result[3].silentThroughout);
    ASSERT_EQ(result[3].silentRuns.size(), 1u);
    EXPECT_EQ(result[3].silentRuns[0].startFrame, 40u);
    EXPECT_EQ(result[3].silentRuns[0].startTimeCode, "01:00:01;10");
    EXPECT_EQ(result[3].silentRuns[0].frames, 75u);
    EXPECT_GT(result[4].clippedSamples, 0u);
    // The channels left out keep their default tones, at about -6.43 dBFS.
    EXPECT_NEAR(result[7].peakDbfs(), -6.43, 0.01);
    EXPECT_TRUE(result[7].silentRuns.empty());
}
