// The virtual card's ring DMA and its SDI input fed by the simulated recorder.

#include "capture/PayloadExtraction.h"
#include "capture/PayloadFormat.h"
#include "card/CWyrnCard.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/Playout.h"
#include "platform/srmodule/SdiOutput.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/Eventually.h"
#include "tests/support/RecorderCommands.h"
#include "tests/support/TempManifest.h"

#include <algorithm>
#include <gtest/gtest.h>

using testsupport::clipJson;
using testsupport::eventually;
using testsupport::selectAndPlay;
using testsupport::TempManifest;

namespace {

constexpr uint32_t kCrosspoint = 2;
class RingDma : public ::testing::Test {
protected:
    void SetUp() override { qputenv(cardlib::kSimSpeedVariable, "max"); }
    void TearDown() override {
        card.Close();
        qunsetenv(cardlib::kSimSpeedVariable);
        cardlib::useConfiguredMedia();
    }

    // Installs one short clip (with the given extra keys) on board 0 and opens the card on it.
    void useClip(const QJsonObject &extra = {}) {
        QJsonObject clip = clipJson("C1", 6);
        clip["codec"] = 2;
        clip["soundChannels"] = 2;
        for (auto it = extra.begin(); it != extra.end(); ++it)
            clip[it.key()] = it.value();
        manifest = std::make_unique<TempManifest>(QJsonObject{{"clips", QJsonArray{clip}}});
        cardlib::useManifest(manifest->path());
        ASSERT_TRUE(card.Open(0));
        ASSERT_TRUE(card.InitAutoCirculate(kCrosspoint, 0, 16, 1, 0));
    }

    AUTOCIRCULATE_STATUS_STRUCT status() {
        AUTOCIRCULATE_STATUS_STRUCT s;
        EXPECT_TRUE(card.GetAutoCirculate(kCrosspoint, &s));
        return s;
    }

    bool transfer(uint8_t *buffer, uint32_t size = payload::kPictureBytes8Bit) {
        AUTOCIRCULATE_TRANSFER_STRUCT request;
        request.channelSpec = kCrosspoint;
        request.videoBuffer = buffer;
        request.videoBufferSize = size;
        AUTOCIRCULATE_TRANSFER_STATUS_STRUCT result;
        return card.TransferWithAutoCirculate(&request, &result);
    }

    // The next payload block: two pictures, de-embedded.
    std::vector<uint8_t> nextBlock() {
        std::vector<uint8_t> pictures(payload::picturePairBytes(true));
        EXPECT_TRUE(eventually([&] { return status().bufferLevel >= 2; }));
        EXPECT_TRUE(transfer(pictures.data()));
        EXPECT_TRUE(transfer(pictures.data() + payload::kPictureBytes8Bit));
        std::vector<uint8_t> block(payload::kBlockSize);
        ExtractPayload(block.data(), pictures.data(), pictures.data() + payload::kLineBytes8Bit, true);
        return block;
    }

    SimulatedRecorder &recorder() { return *cardlib::findBoard(0)->recorder(); }

    std::unique_ptr<TempManifest> manifest;
    CWyrnCard card;
};

} // namespace

TEST_F(RingDma, RefusesTransfersUntilStartedAndIntoBuffersTooSmall) {
    useClip();
    std::vector<uint8_t> picture(payload::kPictureBytes8Bit);
    EXPECT_FALSE(transfer(picture.data())) << "not started";
    EXPECT_EQ(status().state, card::kAutoCirculateInitializing);
    EXPECT_FALSE(card.StartAutoCirculate(kCrosspoint + 1)) << "prepared for another crosspoint";
    ASSERT_TRUE(card.SetMode(1, 1));
    EXPECT_EQ(cardlib::findBoard(0)->ringDma().mode(1), 1u);
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    EXPECT_EQ(status().state, card::kAutoCirculateRunning);
    ASSERT_TRUE(eventually([&] { return status().bufferLevel == card::kCardPictureBuffers; }));
    EXPECT_FALSE(transfer(picture.data(), payload::kPictureBytes8Bit - 1));
    EXPECT_FALSE(transfer(nullptr));
    EXPECT_EQ(status().bufferLevel, card::kCardPictureBuffers) << "a refused transfer takes no picture";
    EXPECT_TRUE(transfer(picture.data()));
    EXPECT_FALSE(IsValidFrame(picture.data(), true)) << "nothing plays: an idle picture";
}

TEST_F(RingDma, AtMaxSpeedFillsEveryBufferAndNeverDrops) {
    useClip();
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    std::vector<uint8_t> picture(payload::kPictureBytes8Bit);
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(eventually([&] { return status().bufferLevel == card::kCardPictureBuffers; }));
        ASSERT_TRUE(transfer(picture.data()));
    }
    const AUTOCIRCULATE_STATUS_STRUCT s = status();
    EXPECT_EQ(s.framesDropped, 0u);
    EXPECT_GE(s.framesProcessed, 40u + card::kCardPictureBuffers);
}

TEST_F(RingDma, ASubscribedVerticalEventComesWithEveryPictureTheInputBrings) {
    useClip();
    EXPECT_FALSE(card.WaitForOutputVerticalEvent(0));
    ASSERT_TRUE(card.SubscribeOutputVerticalEvent());
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    ASSERT_TRUE(card.WaitForOutputVerticalEvent(5000));
    // At full speed the input brings nothing more once every buffer is full, until a transfer frees one.
    ASSERT_TRUE(eventually([&] { return status().bufferLevel == card::kCardPictureBuffers; }));
    card.WaitForOutputVerticalEvent(0);
    EXPECT_FALSE(card.WaitForOutputVerticalEvent(50));
    std::vector<uint8_t> picture(payload::kPictureBytes8Bit);
    ASSERT_TRUE(transfer(picture.data()));
    EXPECT_TRUE(card.WaitForOutputVerticalEvent(5000));
    card.Close();
    EXPECT_FALSE(card.WaitForOutputVerticalEvent(0));
}

TEST_F(RingDma, AtRealTimePacePicturesArrivingToFullBuffersAreDroppedAndCounted) {
    qputenv(cardlib::kSimSpeedVariable, "50");
    useClip();
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    ASSERT_TRUE(eventually([&] { return status().framesDropped >= 2; }));
    const AUTOCIRCULATE_STATUS_STRUCT s = status();
    EXPECT_EQ(s.bufferLevel, card::kCardPictureBuffers);
    EXPECT_EQ(s.framesProcessed, card::kCardPictureBuffers);
}

TEST_F(RingDma, CarriesTheClipsBlocksAfterItsIdleLeadInPictures) {
    useClip({{"durationFrames", 12}});
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    selectAndPlay(recorder(), "C1");
    std::vector<uint8_t> picture(payload::kPictureBytes8Bit);
    ASSERT_TRUE(eventually([&] { return status().bufferLevel == card::kCardPictureBuffers; }));
    // Pictures taken before the start were idle; so are the first ones of the play-out.
    uint32_t idle = 0;
    while (true) {
        ASSERT_TRUE(eventually([&] { return status().bufferLevel >= 1; }));
        ASSERT_TRUE(transfer(picture.data()));
        if (!recorder().isPlaying() || picture != std::vector<uint8_t>(picture.size(), 0))
            break;
        ++idle;
        ASSERT_LT(idle, 40u);
    }
    EXPECT_TRUE(IsValidFrame(picture.data(), true));
    std::vector<uint8_t> second(payload::kPictureBytes8Bit);
    ASSERT_TRUE(eventually([&] { return status().bufferLevel >= 1; }));
    ASSERT_TRUE(transfer(second.data()));
    picture.insert(picture.end(), second.begin(), second.end());
    std::vector<uint8_t> block(payload::kBlockSize);
    ExtractPayload(block.data(), picture.data(), picture.data() + payload::kLineBytes8Bit, true);

    Playout expected(recorder().manifest().clips[0]);
    EXPECT_TRUE(block == expected.nextBlock());
    EXPECT_TRUE(nextBlock() == expected.nextBlock());
    ASSERT_TRUE(expected.finished());
    const std::vector<uint8_t> after = nextBlock();
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](uint8_t b) { return b == 0; })) << "idle again";
}

TEST_F(RingDma, APictureTheClipLosesIsCountedOnceAndMissing) {
    useClip({{"faults", QJsonObject{{"dropsPicture", int(SdiOutput::kLeadInPictures)}}}});
    selectAndPlay(recorder(), "C1");
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    // The first block's picture A is lost: its picture B follows the lead-in.
    std::vector<uint8_t> picture(payload::kPictureBytes8Bit);
    for (uint32_t i = 0; i < SdiOutput::kLeadInPictures; ++i) {
        ASSERT_TRUE(eventually([&] { return status().bufferLevel >= 1; }));
        ASSERT_TRUE(transfer(picture.data()));
    }
    ASSERT_TRUE(eventually([&] { return status().bufferLevel == card::kCardPictureBuffers; }));
    EXPECT_EQ(status().framesDropped, 1u);
    ASSERT_TRUE(transfer(picture.data()));
    EXPECT_FALSE(IsValidFrame(picture.data(), true));
    EXPECT_NE(picture, std::vector<uint8_t>(picture.size(), 0)) << "picture B of the first block";

    // A second play-out of the clip loses nothing.
    ASSERT_TRUE(card.StopAutoCirculate(kCrosspoint));
    selectAndPlay(recorder(), "C1");
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    ASSERT_TRUE(eventually([&] { return status().bufferLevel == card::kCardPictureBuffers; }));
    EXPECT_EQ(status().framesDropped, 0u);
}

TEST_F(RingDma, StoppingOrClosingEndsTheInputAndEmptiesTheBuffers) {
    useClip();
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    ASSERT_TRUE(eventually([&] { return status().bufferLevel > 0; }));
    ASSERT_TRUE(card.StopAutoCirculate(kCrosspoint));
    EXPECT_EQ(status().state, card::kAutoCirculateDisabled);
    EXPECT_EQ(status().bufferLevel, 0u);
    ASSERT_TRUE(card.StartAutoCirculate(kCrosspoint));
    ASSERT_TRUE(eventually([&] { return status().bufferLevel > 0; }));
    card.Close();
    AUTOCIRCULATE_STATUS_STRUCT s;
    ASSERT_TRUE(cardlib::findBoard(0)->ringDma().status(kCrosspoint, s));
    EXPECT_EQ(s.state, card::kAutoCirculateDisabled) << "closing the card stops the ring DMA it started";
}

TEST(SimSpeed, ReadsMaxOrAPositiveMultipleAndFallsBackToRealTime) {
    qputenv(cardlib::kSimSpeedVariable, "MAX");
    EXPECT_TRUE(cardlib::simSpeedFromEnvironment().max);
    qputenv(cardlib::kSimSpeedVariable, "2.5");
    EXPECT_DOUBLE_EQ(cardlib::simSpeedFromEnvironment().factor, 2.5);
    EXPECT_EQ(cardlib::simSpeedFromEnvironment().pictureInterval().count(), 13'346'666);
    for (const char *bad : {"0", "-1", "fast", ""}) {
        qputenv(cardlib::kSimSpeedVariable, bad);
        const cardlib::SimSpeed speed = cardlib::simSpeedFromEnvironment();
        EXPECT_FALSE(speed.max);
        EXPECT_DOUBLE_EQ(speed.factor, 1.0) << bad;
    }
    qunsetenv(cardlib::kSimSpeedVariable);
    EXPECT_EQ(cardlib::simSpeedFromEnvironment().pictureInterval().count(), 33'366'666);
}
