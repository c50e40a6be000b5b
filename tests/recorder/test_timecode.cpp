#include "recorder/Timecode.h"

#include <gtest/gtest.h>
#include <random>

namespace {

uint32_t droppedPerMinute(uint32_t fps) {
    return fps == 60 ? 4 : 2;
}

// Counts timecodes forward one frame at a time, the way a recorder's clock does: an oracle for the
// formulas that knows only which frame numbers a drop-frame minute leaves out.
class TimecodeCounter {
public:
    TimecodeCounter(uint32_t fps, bool dropFrame) : fps_(fps), dropFrame_(dropFrame) {}
    const Timecode &timecode() const { return timecode_; }
    void advance() {
        if (++timecode_.frames < fps_)
            return;
        timecode_.frames = 0;
        if (++timecode_.seconds < 60)
            return;
        timecode_.seconds = 0;
        if (++timecode_.minutes < 60) {
            if (dropFrame_ && timecode_.minutes % 10 != 0)
                timecode_.frames = droppedPerMinute(fps_);
            return;
        }
        timecode_.minutes = 0;
        timecode_.hours = (timecode_.hours + 1) % 24;
    }

private:
    uint32_t fps_;
    bool dropFrame_;
    Timecode timecode_;
};

struct RateCase {
    uint32_t fps;
    bool dropFrame;
};

std::string describe(const RateCase &rate) {
    return std::to_string(rate.fps) + (rate.dropFrame ? " fps drop frame" : " fps");
}

void PrintTo(const RateCase &rate, std::ostream *out) {
    *out << describe(rate);
}

uint64_t framesPerDay(const RateCase &rate) {
    return timecodeToFrames(rate.fps, rate.dropFrame, 24, 0, 0, 0);
}

std::string describe(const Timecode &t) {
    return std::to_string(t.hours) + ":" + std::to_string(t.minutes) + ":" + std::to_string(t.seconds) + ":" +
           std::to_string(t.frames);
}

class TimecodeRoundTrip : public testing::TestWithParam<RateCase> {};

} // namespace

TEST(Timecode, CountsTheWorkedDropFrameExamples) {
    EXPECT_EQ(timecodeToFrames(30, true, 0, 1, 5, 10), 1958u);
    EXPECT_EQ(framesToTimecode(17982, 30, true), (Timecode{0, 10, 0, 0}));
    EXPECT_EQ(framesToTimecode(1800, 24, false), (Timecode{0, 1, 15, 0}));
    EXPECT_EQ(framesToTimecode(1799, 30, true), (Timecode{0, 0, 59, 29}));
}

TEST(Timecode, DropFrameMinutesAndHoursHaveTheirStandardLengths) {
    EXPECT_EQ(timecodeToFrames(30, true, 0, 1, 0, 2), 1800u);
    EXPECT_EQ(timecodeToFrames(30, true, 0, 10, 0, 0), 17982u);
    EXPECT_EQ(timecodeToFrames(30, true, 1, 0, 0, 0), 107892u);
    EXPECT_EQ(timecodeToFrames(60, true, 0, 1, 0, 4), 3600u);
    EXPECT_EQ(timecodeToFrames(60, true, 0, 10, 0, 0), 35964u);
    EXPECT_EQ(timecodeToFrames(60, true, 1, 0, 0, 0), 215784u);
    EXPECT_EQ(framesToTimecode(1800, 30, true), (Timecode{0, 1, 0, 2}));
    EXPECT_EQ(framesToTimecode(3600, 60, true), (Timecode{0, 1, 0, 4}));
}

TEST(Timecode, LeftOutFrameNumbersCountAsTheFirstFrameAfterThem) {
    EXPECT_EQ(timecodeToFrames(30, true, 0, 1, 0, 0), timecodeToFrames(30, true, 0, 1, 0, 2));
    EXPECT_EQ(timecodeToFrames(30, true, 0, 1, 0, 1), timecodeToFrames(30, true, 0, 1, 0, 2));
    EXPECT_EQ(timecodeToFrames(60, true, 0, 7, 0, 3), timecodeToFrames(60, true, 0, 7, 0, 4));
}

TEST(Timecode, HoursWrapAtTwentyFour) {
    EXPECT_EQ(framesToTimecode(24 * 3600 * 25, 25, false), (Timecode{}));
    EXPECT_EQ(framesToTimecode(24 * 107892 - 1, 30, true), (Timecode{23, 59, 59, 29}));
    EXPECT_EQ(framesToTimecode(24 * 107892, 30, true), (Timecode{}));
    EXPECT_EQ(framesToTimecode(24 * 215784 + 3600, 60, true), (Timecode{0, 1, 0, 4}));
}

TEST(Timecode, DegenerateRatesNeitherDivideByZeroNorDropFrames) {
    EXPECT_EQ(framesToTimecode(12345, 0, false), (Timecode{}));
    EXPECT_EQ(framesToTimecode(12345, 0, true), (Timecode{}));
    EXPECT_EQ(timecodeToFrames(0, true, 1, 2, 3, 4), 4u);
    EXPECT_EQ(timecodeToFrames(2, true, 0, 1, 0, 0), 120u);
    EXPECT_EQ(framesToTimecode(120, 2, true), (Timecode{0, 1, 0, 0}));
}

// Every frame of a whole day, against the counter: covers each minute, each tenth minute and the wrap.
TEST_P(TimecodeRoundTrip, EveryFrameOfADayMatchesACountingClock) {
    const RateCase rate = GetParam();
    const uint64_t day = framesPerDay(rate);
    TimecodeCounter counter(rate.fps, rate.dropFrame);
    for (uint64_t n = 0; n < day; ++n) {
        const Timecode &expected = counter.timecode();
        const Timecode t = framesToTimecode(n, rate.fps, rate.dropFrame);
        if (t != expected) {
            FAIL() << describe(rate) << ": frame " << n << " gives " << describe(t) << ", expected "
                   << describe(expected);
        }
        const uint64_t back =
            timecodeToFrames(rate.fps, rate.dropFrame, t.hours, t.minutes, t.seconds, t.frames);
        if (back != n)
            FAIL() << describe(rate) << ": " << describe(t) << " counts " << back << ", expected " << n;
        counter.advance();
    }
    EXPECT_EQ(counter.timecode(), (Timecode{})) << describe(rate) << ": the day does not end at 24:00:00:00";
}

TEST_P(TimecodeRoundTrip, RandomFrameCountsComeBackModuloADay) {
    const RateCase rate = GetParam();
    const uint64_t day = framesPerDay(rate);
    std::mt19937_64 random(0x5EED0000u + rate.fps * 2 + rate.dropFrame);
    std::uniform_int_distribution<uint64_t> counts(0, uint64_t(1) << 40);
    for (int i = 0; i < 200000; ++i) {
        const uint64_t n = counts(random);
        const Timecode t = framesToTimecode(n, rate.fps, rate.dropFrame);
        const uint64_t back =
            timecodeToFrames(rate.fps, rate.dropFrame, t.hours, t.minutes, t.seconds, t.frames);
        if (back != n % day)
            FAIL() << describe(rate) << ": frame " << n << " gives " << describe(t) << " which counts "
                   << back;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, TimecodeRoundTrip,
                         testing::Values(RateCase{24, false}, RateCase{25, false}, RateCase{30, false},
                                         RateCase{48, false}, RateCase{50, false}, RateCase{60, false},
                                         RateCase{30, true}, RateCase{60, true}, RateCase{24, true},
                                         RateCase{48, true}),
                         [](const testing::TestParamInfo<RateCase> &info) {
                             return std::to_string(info.param.fps) +
                                    (info.param.dropFrame ? "DropFrame" : "");
                         });
