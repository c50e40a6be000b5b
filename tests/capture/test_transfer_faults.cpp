// A transfer ends cleanly whatever happens: a dropped picture or one the card fails to hand over, a
// play-out that never starts or stops in mid-clip, another application holding the board, and deletion
// of the capture object at any moment.

#include "recorder/QIROSRTransferDevice.h"
#include "tests/capture/TransferHarness.h"
#include "tests/support/EndsWithin.h"

#include <QFile>
#include <string>

using namespace transfertest;
using testsupport::endsWithin;

namespace {

constexpr auto kBoundedStop = std::chrono::seconds(10);
// A thread that could hang ends within this, or the test program fails at once: room for a slow sanitizer
// build, yet far below the test runner's time-out.
constexpr auto kNoHang = std::chrono::seconds(60);
// A stall limit no test waits for: only the behaviour under test can end the transfer in time.
constexpr auto kNoStallLimit = std::chrono::hours(1);

AUTOCIRCULATE_STATUS_STRUCT cardStatus() {
    AUTOCIRCULATE_STATUS_STRUCT status;
    cardlib::findBoard(0)->ringDma().status(QIROSRTransfer::kCrosspoint, status);
    return status;
}

// The play-out fault that loses a picture of the third block: the card drops it, or fails the transfer of
// its first or second picture.
struct LostPictureFault {
    const char *fault;
    int picture;
};
class LostPicture : public TransferTest, public ::testing::WithParamInterface<LostPictureFault> {};

} // namespace

TEST_P(LostPicture, IsSignalledOnceAndEndsTheTransferAndTheClipThenTransfersAgain) {
    install(QJsonArray{
        clip("CLIP1", 30, 2, 4, true, {{"faults", QJsonObject{{GetParam().fault, GetParam().picture}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) {
        return c.drops > 0 || c.completes > 0 || c.mismatches > 0;
    })) << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop))) << "the capture thread ends by itself";
    EXPECT_EQ(watch->counts().drops, 1);
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_EQ(watch->counts().mismatches, 0u) << "what was read before the drop was right";
    transfer.reset();
    EXPECT_TRUE(boardReleased());

    transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    EXPECT_EQ(watch->counts().frames, 30u);
    EXPECT_EQ(watch->counts().mismatches, 0u);
    EXPECT_EQ(watch->counts().drops, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, LostPicture,
                         ::testing::Values(LostPictureFault{"dropsPicture", 8},
                                           LostPictureFault{"failsTransferOfPicture", 7},
                                           LostPictureFault{"failsTransferOfPicture", 8}),
                         [](const ::testing::TestParamInfo<LostPictureFault> &info) {
                             return std::string(info.param.fault) + std::to_string(info.param.picture);
                         });

TEST_F(TransferTest, APictureLostAfterTheLastBlockIsNotSignalledWhenTheTransferCompletes) {
    // One block, at a pace the card can outrun: while the writer holds on to the last frame, the capture
    // thread fills the ring and waits for a slot, and the card then drops pictures. The capture thread
    // reads the drop as soon as the writer gives the slot back, just as the writer completes.
    qputenv(cardlib::kSimSpeedVariable, "2");
    install(QJsonArray{clip("CLIP1", 2, 0, 2, false)});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch, [](const AssembledFrame &frame) {
        if (frame.number == 1) {
            EXPECT_TRUE(eventually([] { return cardStatus().framesDropped > 0; }));
        }
    });
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    EXPECT_EQ(watch->counts().frames, 2u);
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

// A picture that arrives shorter than the frame size, on every play-out: as one of a block's first two
// elements it is read as a whole picture of that length, from the third on as the first part of a frame cut
// at the block's end, whose join with the next block's first element then does not add up.
class DamagedPicture : public TransferTest, public ::testing::WithParamInterface<int> {};

TEST_P(DamagedPicture, IsADropThatNamesItAndNothingFromItOnIsWritten) {
    const int bad = GetParam();
    install(QJsonArray{clip("CLIP1", 30, 2, 2, true, {{"faults", QJsonObject{{"shortPictureAt", bad}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch);
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(std::chrono::seconds(60))));
    const Counts counts = watch->counts();
    EXPECT_EQ(counts.drops, 1) << counts.lastFailure;
    EXPECT_EQ(counts.completes + counts.failures, 0);
    EXPECT_EQ(counts.frames, uint64_t(bad)) << "every frame before it, none from it on";
    EXPECT_EQ(counts.mismatches, 0u);
    const DroppedPicture drop = transfer->dropLocation();
    EXPECT_EQ(drop.frame, uint64_t(bad));
    EXPECT_TRUE(drop.cause.startsWith(
        QString("picture of frame %1 (01:00:00;%2) has ").arg(bad).arg(bad, 2, 10, QChar('0'))))
        << drop.cause.toStdString();
    EXPECT_TRUE(drop.cause.endsWith(" bytes, 937500 expected")) << drop.cause.toStdString();
    EXPECT_FALSE(QFile::exists(transfer->outputPath()->file));
}

INSTANTIATE_TEST_SUITE_P(Frames, DamagedPicture, ::testing::Values(0, 1, 5, 8, 9));

// The clip's last picture, short, as the third element of its block or later: read as the first part of a
// cut frame, it waits for a block that never comes. Once the stall limit passes it is a drop that names it,
// like any other wrong-length picture, not a stall failure. The parameter is the clip's frames.
class ShortLastPicture : public TransferTest, public ::testing::WithParamInterface<int> {};

TEST_P(ShortLastPicture, IsADropOnceTheStallLimitPasses) {
    const int frames = GetParam();
    const int last = frames - 1;
    install(
        QJsonArray{clip("CLIP1", frames, 2, 2, true, {{"faults", QJsonObject{{"shortPictureAt", last}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch, {}, std::chrono::seconds(3));
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kNoHang)));
    const Counts counts = watch->counts();
    EXPECT_EQ(counts.drops, 1) << counts.lastFailure;
    EXPECT_EQ(counts.completes + counts.failures, 0);
    EXPECT_EQ(counts.frames, uint64_t(last));
    EXPECT_EQ(counts.mismatches, 0u);
    const DroppedPicture drop = transfer->dropLocation();
    EXPECT_EQ(drop.frame, uint64_t(last));
    EXPECT_EQ(drop.cause.toStdString(),
              QString("picture of frame %1 (01:00:00;%2) has %3 bytes, 937500 expected")
                  .arg(last)
                  .arg(last, 2, 10, QChar('0'))
                  .arg(937'500 - PlayoutFaults::kShortPictureBytes)
                  .toStdString());
    EXPECT_FALSE(QFile::exists(transfer->outputPath()->file));
}

INSTANTIATE_TEST_SUITE_P(Frames, ShortLastPicture, ::testing::Values(3, 30));

TEST_F(TransferTest, AClipTheRecorderDoesNotSelectFailsBeforeAnythingPlays) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false)});
    auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
    ASSERT_TRUE(transfer->boardAcquired());
    SRFileInfo other = testsupport::clipFileInfo(recorder().manifest().clips[0].record);
    other.fileName = "CLIP2";
    const QString destination = manifest->filePath("out");
    transfer->setTransfer(other, destination.toStdString(), 0, 0);
    TransferWatch watch(*transfer, recorder().manifest().clips[0]);
    transfer->start();
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    EXPECT_EQ(watch.counts().failures, 1);
    EXPECT_EQ(watch.counts().lastFailure,
              "the recorder did not select CLIP2: it has no clip of that name, or did not answer");
    EXPECT_FALSE(recorder().isPlaying());
    EXPECT_FALSE(QFile::exists(destination));
}

TEST_F(TransferTest, DeletingBeforeTheStartReleasesTheBoard) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false)});
    auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
    ASSERT_TRUE(transfer->boardAcquired());
    EXPECT_FALSE(boardReleased());
    transfer.reset();
    EXPECT_TRUE(boardReleased());
}

TEST_F(TransferTest, AnObjectRefusedTheBoardLeavesTheHoldersCardAndLineAlone) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false)});
    // Another application holds the board, has set it up and plays the clip out over the board's UART.
    constexpr uint32_t kControlRegister = 1, kBit28 = 0x1000'0000, kHolderServices = 3;
    CWyrnCard holder;
    ASSERT_TRUE(holder.Open(0));
    ASSERT_TRUE(holder.AcquireStreamForApplication(card::applicationCode('O', 'T', 'H', 'R'), 7));
    ASSERT_TRUE(holder.WriteRegister(kControlRegister, 1, kBit28, 28));
    ASSERT_TRUE(holder.SetEveryFrameServices(kHolderServices));
    QIROSRTransferDevice line;
    ASSERT_TRUE(line.open(0));
    line.selectFile("CLIP1");
    line.startPlayback();
    ASSERT_TRUE(recorder().isPlaying());
    uint32_t uartControl = 0;
    ASSERT_TRUE(holder.ReadRegister(card::kRegisterUartControl, &uartControl));

    {
        QIROSRTransfer refused(0, 0);
        EXPECT_FALSE(refused.boardAcquired());
        EXPECT_TRUE(recorder().isPlaying()) << "the holder's play-out goes on";
        refused.start();
        EXPECT_TRUE(refused.wait(QDeadlineTimer(kBoundedStop)));
    }
    uint32_t value = 0;
    ASSERT_TRUE(holder.ReadRegister(kControlRegister, &value, kBit28, 28));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(holder.GetEveryFrameServices(&value));
    EXPECT_EQ(value, kHolderServices);
    ASSERT_TRUE(holder.ReadRegister(card::kRegisterUartControl, &value));
    EXPECT_EQ(value, uartControl) << "the UART stays on";
    EXPECT_TRUE(recorder().isPlaying());
    EXPECT_EQ(line.stopPlayback(), 1) << "the holder's commands still reach the recorder";
    EXPECT_FALSE(recorder().isPlaying());
}

TEST_F(TransferTest, AStopAskedForBeforeTheCaptureThreadRunsIsKept) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false, {{"faults", QJsonObject{{"neverPlays", true}}}})});
    auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
    ASSERT_TRUE(transfer->boardAcquired());
    transfer->setTransfer(testsupport::clipFileInfo(recorder().manifest().clips[0].record),
                          manifest->filePath("out").toStdString(), 0, 0);
    transfer->setStallLimit(kNoStallLimit);
    transfer->setCueLimit(kNoStallLimit);
    // The state of an object deleted right after start(), before its thread got to run.
    transfer->requestStop();
    transfer->start();
    endsWithin(kNoHang, [&] { transfer->wait(); });
    transfer.reset();
    EXPECT_TRUE(boardReleased());
}

TEST_F(TransferTest, AStopWhileTheFirstBlockIsAwaitedEndsBothThreadsEvenWhenTheCardDeliversNothing) {
    install(QJsonArray{clip("CLIP1", 5, 0, 2, false, {{"faults", QJsonObject{{"neverPlays", true}}}})});
    std::unique_ptr<TransferWatch> watch;
    auto transfer = startTransfer(0, watch, {}, kNoStallLimit);
    ASSERT_TRUE(eventually([] { return recorder().isPlaying(); })) << "the writer asked for the play-out";
    ASSERT_TRUE(eventually([&] { return transfer->picturesCaptured() > 0; })) << "the first block is awaited";
    // Another application stops the ring DMA: no picture comes any more.
    CWyrnCard other;
    ASSERT_TRUE(other.Open(0));
    ASSERT_TRUE(other.StopAutoCirculate(QIROSRTransfer::kCrosspoint));
    endsWithin(kNoHang, [&] {
        transfer->requestStop();
        transfer->wait();
    });
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
