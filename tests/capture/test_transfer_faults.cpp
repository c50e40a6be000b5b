// A transfer ends cleanly whatever happens: a dropped picture, a play-out that never starts or stops in
// mid-clip, and deletion of the capture object at any moment.

#include "tests/capture/TransferHarness.h"

using namespace transfertest;

namespace {

constexpr auto kBoundedStop = std::chrono::seconds(10);

} // namespace

TEST_F(TransferTest, ADroppedPictureIsSignalledOnceAndEndsTheTransferAndTheClipThenTransfersAgain) {
    install(QJsonArray{clip("CLIP1", 30, 2, 4, true, {{"faults", QJsonObject{{"dropsPicture", 8}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.drops > 0; }));
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop))) << "the capture thread ends by itself";
    EXPECT_EQ(watch->counts().drops, 1);
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_EQ(watch->counts().mismatches, 0u) << "what was read before the drop was right";
    transfer.reset();
    EXPECT_TRUE(boardReleased());

    transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }));
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    EXPECT_EQ(watch->counts().frames, 30u);
    EXPECT_EQ(watch->counts().mismatches, 0u);
    EXPECT_EQ(watch->counts().drops, 0);
}

TEST_F(TransferTest, ADropBeforeTheFirstBlockIsSignalledOnceToo) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false, {{"faults", QJsonObject{{"dropsPicture", 1}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(std::chrono::seconds(60))));
    EXPECT_EQ(watch->counts().drops, 1);
    EXPECT_EQ(watch->counts().frames, 0u);
}

TEST_F(TransferTest, DeletingBeforeTheStartReleasesTheBoard) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false)});
    auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
    ASSERT_TRUE(transfer->boardAcquired());
    EXPECT_FALSE(boardReleased());
    transfer.reset();
    EXPECT_TRUE(boardReleased());
}

TEST_F(TransferTest, ASecondCaptureObjectCannotTakeAHeldBoard) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false)});
    CWyrnCard other;
    ASSERT_TRUE(other.Open(0));
    ASSERT_TRUE(other.AcquireStreamForApplication(card::applicationCode('O', 'T', 'H', 'R'), 7));
    QIROSRTransfer transfer(0, 0);
    EXPECT_FALSE(transfer.boardAcquired());
}

TEST_F(TransferTest, DeletingWhileTheFirstBlockIsAwaitedEndsBothThreads) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false, {{"faults", QJsonObject{{"neverPlays", true}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(eventually([] { return recorder().isPlaying(); })) << "the writer asked for the play-out";
    transfer.reset();
    EXPECT_TRUE(boardReleased());
    EXPECT_FALSE(recorder().isPlaying());
    EXPECT_EQ(watch->counts().frames, 0u);
}

TEST_F(TransferTest, APlayOutThatNeverStartsStopsWithinBoundedTime) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false, {{"faults", QJsonObject{{"neverPlays", true}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(eventually([] { return recorder().isPlaying(); }));
    transfer->requestStop();
    EXPECT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    EXPECT_EQ(watch->counts().completes, 0);
}

TEST_F(TransferTest, APlayOutThatStopsInMidClipStopsWithinBoundedTime) {
    install(QJsonArray{clip("CLIP1", 40, 2, 2, false, {{"faults", QJsonObject{{"stopsPlayingAfter", 9}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.percents >= 3; }));
    ASSERT_TRUE(eventually([&] { return transfer->picturesCaptured() > 20; })) << "idle pictures keep coming";
    transfer->requestStop();
    EXPECT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    const Counts counts = watch->counts();
    EXPECT_EQ(counts.completes, 0);
    EXPECT_LT(counts.frames, 40u);
    EXPECT_EQ(counts.mismatches, 0u);
    transfer.reset();
    EXPECT_TRUE(boardReleased());
}

TEST_F(TransferTest, DeletingInMidTransferEndsBothThreads) {
    qputenv(cardlib::kSimSpeedVariable, "4");
    install(QJsonArray{clip("CLIP1", 200, 2, 2, false)});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.percents >= 1; }));
    transfer.reset();
    EXPECT_TRUE(boardReleased());
    EXPECT_FALSE(recorder().isPlaying());
    EXPECT_LT(watch->counts().frames, 200u);
}

TEST_F(TransferTest, DeletingAfterADropEndsBothThreads) {
    install(QJsonArray{clip("CLIP1", 30, 0, 2, false, {{"faults", QJsonObject{{"dropsPicture", 10}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.drops > 0; }));
    transfer.reset();
    EXPECT_TRUE(boardReleased());
    EXPECT_EQ(watch->counts().drops, 1);
}
