#include "mxf/Assertion.h"
#include "source/SampleCadence.h"
#include "tests/support/AssertionMessage.h"

#include <gtest/gtest.h>

namespace {

using testsupport::assertionMessage;

std::vector<uint16_t> cadence(SMDKRational editRate, SMDKRational samplingRate, int64_t count,
                              int64_t first = 0) {
    std::vector<uint16_t> counts;
    for (int64_t position = first; position < first + count; ++position)
        counts.push_back(soundSamplesInEditUnit(position, editRate, samplingRate));
    return counts;
}

constexpr SMDKRational khz48{48000, 1};

} // namespace

TEST(SampleCadence, NtscRateRunsFiveUnitPattern) {
    EXPECT_EQ(cadence({30000, 1001}, khz48, 10),
              (std::vector<uint16_t>{1602, 1601, 1602, 1601, 1602, 1602, 1601, 1602, 1601, 1602}));
}

TEST(SampleCadence, DoubleNtscRateRunsFiveUnitPattern) {
    EXPECT_EQ(cadence({60000, 1001}, khz48, 10),
              (std::vector<uint16_t>{801, 801, 800, 801, 801, 801, 801, 800, 801, 801}));
}

TEST(SampleCadence, WholeSampleRatesAreConstant) {
    EXPECT_EQ(cadence({24000, 1001}, khz48, 7), std::vector<uint16_t>(7, 2002));
    EXPECT_EQ(cadence({25, 1}, khz48, 7), std::vector<uint16_t>(7, 1920));
    EXPECT_EQ(cadence({24, 1}, khz48, 7), std::vector<uint16_t>(7, 2000));
}

TEST(SampleCadence, CountsNeverDriftFromTheSamplingRate) {
    // 30000 edit units at 30000/1001 last exactly 1001 seconds.
    const std::vector<uint16_t> counts = cadence({30000, 1001}, khz48, 30000);
    uint64_t total = 0;
    for (uint16_t count : counts)
        total += count;
    EXPECT_EQ(total, 48000u * 1001u);
    // Far into a clip the pattern still holds.
    EXPECT_EQ(cadence({30000, 1001}, khz48, 5, 5'000'000),
              (std::vector<uint16_t>{1602, 1601, 1602, 1601, 1602}));
}

TEST(SampleCadence, LargeRateTermsFarIntoAClipStayExact) {
    // 48000 × 2147483647 per edit unit: the cumulative count passes 2^63 between edit units 89478 and 89479.
    EXPECT_EQ(cadence({2147483647, 2147483647}, khz48, 3, 89477), std::vector<uint16_t>(3, 48000));
    EXPECT_EQ(cadence({2147483647, 2147483647}, khz48, 1, 1'000'000'000'000), std::vector<uint16_t>{48000});
}

TEST(SampleCadence, UnsetSamplingRateCountsAs48kHz) {
    EXPECT_EQ(cadence({25, 1}, {0, 1}, 3), std::vector<uint16_t>(3, 1920));
    EXPECT_EQ(cadence({25, 1}, {44100, 0}, 3), std::vector<uint16_t>(3, 1920));
    EXPECT_EQ(cadence({25, 1}, {44100, 1}, 4), (std::vector<uint16_t>{1764, 1764, 1764, 1764}));
}

TEST(SampleCadence, ZeroEditRateNumeratorFails) {
    EXPECT_EQ(assertionMessage([&] {
                  soundSamplesInEditUnit(0, {0, 1001}, khz48);
              }),
              "assertion failure: valid edit rate");
}
