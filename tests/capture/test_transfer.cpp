// Whole transfers from the simulated recorder at full speed: every frame comes back through the card, the
// ring and the reading rules, byte for byte and in order.

#include "tests/capture/TransferHarness.h"

using namespace transfertest;

namespace {

struct Shape {
    const char *name;
    int codec;
    int channels;
    bool data;
    int frames;
    // At 29.97: time codes that cross a minute with and without dropped frame numbers, and midnight.
    const char *startTimecode;
    bool dropFrame;
};

void PrintTo(const Shape &shape, std::ostream *out) {
    *out << shape.name;
}

class WholeClip : public TransferTest, public ::testing::WithParamInterface<Shape> {};

} // namespace

TEST_P(WholeClip, EveryPictureSampleDataItemAndTimeCodeComesBackInOrder) {
    const Shape shape = GetParam();
    install(QJsonArray{clip("CLIP1", shape.frames, shape.codec, shape.channels, shape.data,
                            {{"startTimecode", shape.startTimecode}, {"dropFrame", int(shape.dropFrame)}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(std::chrono::seconds(30))));
    const Counts counts = watch->counts();
    EXPECT_EQ(counts.frames, uint64_t(shape.frames));
    EXPECT_EQ(counts.mismatches, 0u);
    EXPECT_EQ(counts.lastPercent, 100);
    EXPECT_EQ(counts.drops, 0);
    EXPECT_GT(transfer->picturesCaptured(), 2u);
    transfer.reset();
    EXPECT_TRUE(boardReleased());
    EXPECT_FALSE(recorder().isPlaying());
}

INSTANTIATE_TEST_SUITE_P(
    Clips, WholeClip,
    ::testing::Values(Shape{"HqNoSound", 0, 0, true, 11, "00:00:59:25", true},
                      Shape{"SqEightChannels", 1, 8, false, 9, "00:09:59:25", true},
                      Shape{"LiteSixteenChannels", 2, 16, true, 23, "23:59:59:20", false},
                      Shape{"HqSixteenChannels", 0, 16, false, 6, "01:00:00:00", true},
                      Shape{"LiteEightChannels", 2, 8, true, 9, "10:18:59:27", false}),
    [](const ::testing::TestParamInfo<Shape> &info) { return std::string(info.param.name); });

TEST_F(TransferTest, AClipInOneBlockIsReadOnceAndCompletes) {
    install(QJsonArray{clip("CLIP1", 2, 0, 2, false)});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(std::chrono::seconds(30))));
    const Counts counts = watch->counts();
    EXPECT_EQ(counts.frames, 2u);
    EXPECT_EQ(counts.mismatches, 0u);
    EXPECT_EQ(counts.percents, 1) << "one block, read once";
}
