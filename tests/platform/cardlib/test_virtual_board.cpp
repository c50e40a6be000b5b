#include "capture/PayloadExtraction.h"
#include "card/CWyrnCard.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/ManifestReader.h"
#include "platform/srmodule/SdiOutput.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/Eventually.h"
#include "tests/support/RecorderCommands.h"
#include "tests/support/TempManifest.h"

#include <gtest/gtest.h>

using testsupport::clipJson;
using testsupport::eventually;
using testsupport::selectAndPlay;
using testsupport::TempManifest;

namespace {

// Every test starts from the default media: the demo clips on board 0.
class VirtualCard : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv(kSimMediaVariable);
        cardlib::useConfiguredMedia();
    }
    void TearDown() override { cardlib::useConfiguredMedia(); }
};

constexpr uint32_t kScratchRegister = 500;

} // namespace

TEST_F(VirtualCard, ScanFindsBoardZeroWithTheDemoMedia) {
    CWyrnBoardScan scan(true, card::kBoardType);
    ASSERT_EQ(scan.GetNumBoards(), 1u);
    OurBoardInfo info;
    ASSERT_TRUE(scan.GetBoardInfo(0, info));
    EXPECT_EQ(info.boardNumber, 0u);
    EXPECT_EQ(info.boardType, card::kBoardType);
    EXPECT_EQ(info.boardIdentifier, "Virtual-1");
    EXPECT_FALSE(scan.GetBoardInfo(1, info));
    EXPECT_EQ(CWyrnBoardScan(true, 3).GetNumBoards(), 0u) << "other board types";
    EXPECT_TRUE(cardlib::mediaError().isEmpty());
}

TEST_F(VirtualCard, ManifestNamesTheBoardOrRemovesIt) {
    TempManifest manifest(QJsonObject{{"volume", "SRMEDIA"}, {"boardName", "Bench-7"}});
    cardlib::useManifest(manifest.path());
    OurBoardInfo info;
    ASSERT_TRUE(CWyrnBoardScan().GetBoardInfo(0, info));
    EXPECT_EQ(info.boardIdentifier, "Bench-7");

    manifest.rewrite(QJsonObject{{"volume", "SRMEDIA"}, {"boardPresent", false}});
    cardlib::useManifest(manifest.path());
    EXPECT_EQ(CWyrnBoardScan().GetNumBoards(), 0u);
    CWyrnCard card;
    EXPECT_FALSE(card.Open(0));
    EXPECT_FALSE(card.BoardOpened());
}

TEST_F(VirtualCard, UnreadableMediaIsReportedAndLeavesABoardWithoutInput) {
    TempManifest manifest(QJsonObject{});
    manifest.writeFile("manifest.json", "not json");
    cardlib::useManifest(manifest.path());
    EXPECT_TRUE(cardlib::mediaError().contains(manifest.path()));
    CWyrnCard card;
    ASSERT_TRUE(card.Open(0));
    EXPECT_EQ(card.GetInput1VideoFormat(), 0u);
}

TEST_F(VirtualCard, OpensOnlyInstalledBoardsAndFailsEverythingWhileClosed) {
    CWyrnCard card;
    EXPECT_FALSE(card.Open(1));
    EXPECT_FALSE(card.Open(0, false, 3));
    uint32_t value = 0;
    EXPECT_FALSE(card.ReadRegister(kScratchRegister, &value));
    EXPECT_FALSE(card.WriteRegister(kScratchRegister, 1));
    EXPECT_FALSE(card.AcquireStreamForApplication(card::kVantrelApplicationCode, 1));
    EXPECT_FALSE(card.Close());

    ASSERT_TRUE(card.Open(0));
    EXPECT_TRUE(card.BoardOpened());
    EXPECT_EQ(card.GetInput1VideoFormat(), card::kVideoFormat1080);
    EXPECT_TRUE(card.Close());
    EXPECT_FALSE(card.BoardOpened());
}

TEST_F(VirtualCard, RegisterWritesReplaceOnlyTheMaskedBitsAndReadsShiftThemDown) {
    CWyrnCard card;
    ASSERT_TRUE(card.Open(0));
    ASSERT_TRUE(card.WriteRegister(kScratchRegister, 0xFFFFFFFF));
    ASSERT_TRUE(card.WriteRegister(kScratchRegister, 0x5, 0xF0, 4));
    uint32_t value = 0;
    ASSERT_TRUE(card.ReadRegister(kScratchRegister, &value));
    EXPECT_EQ(value, 0xFFFFFF5Fu);
    ASSERT_TRUE(card.ReadRegister(kScratchRegister, &value, 0xF0, 4));
    EXPECT_EQ(value, 0x5u);
    ASSERT_TRUE(card.WriteRegister(kScratchRegister, 0x3, 0x3, 30));
    ASSERT_TRUE(card.ReadRegister(kScratchRegister, &value));
    EXPECT_EQ(value, 0xFFFFFF5Cu) << "the masked bits take the shifted value, 0 there";
    EXPECT_FALSE(card.WriteRegister(kScratchRegister, 1, card::kFullMask, 32));
    EXPECT_FALSE(card.ReadRegister(kScratchRegister, &value, card::kFullMask, 32));
    EXPECT_FALSE(card.ReadRegister(kScratchRegister, nullptr));

    CWyrnCard other;
    ASSERT_TRUE(other.Open(0));
    ASSERT_TRUE(other.ReadRegister(kScratchRegister, &value, 0xFF00, 8));
    EXPECT_EQ(value, 0xFFu) << "card objects on one board share its registers";
    ASSERT_TRUE(other.ReadRegister(kScratchRegister + 1, &value));
    EXPECT_EQ(value, 0u);
}

TEST_F(VirtualCard, ExclusiveUseHoldsUntilReleasedOrClosed) {
    const uint32_t code = card::kVantrelApplicationCode;
    CWyrnCard first, second;
    ASSERT_TRUE(first.Open(0));
    ASSERT_TRUE(second.Open(0));
    ASSERT_TRUE(first.AcquireStreamForApplication(code, 100));
    EXPECT_TRUE(first.AcquireStreamForApplication(code, 100)) << "same key again";
    EXPECT_FALSE(second.AcquireStreamForApplication(code, 200)) << "other process";
    EXPECT_FALSE(second.AcquireStreamForApplication(card::applicationCode('O', 'T', 'H', 'R'), 100))
        << "other code";
    EXPECT_FALSE(second.ReleaseStreamForApplication(code, 200));
    ASSERT_TRUE(first.ReleaseStreamForApplication(code, 100));
    EXPECT_FALSE(first.ReleaseStreamForApplication(code, 100)) << "nothing held";
    ASSERT_TRUE(second.AcquireStreamForApplication(code, 200));
    EXPECT_FALSE(first.AcquireStreamForApplication(code, 100));
    second.Close();
    EXPECT_TRUE(first.AcquireStreamForApplication(code, 100)) << "closing gives exclusive use back";
}

TEST_F(VirtualCard, KeepsServicesAndVideoSetUpForEveryCardOnTheBoard) {
    CWyrnCard card, other;
    ASSERT_TRUE(card.Open(0));
    ASSERT_TRUE(other.Open(0));
    uint32_t mode = 0;
    ASSERT_TRUE(card.GetEveryFrameServices(&mode));
    const uint32_t saved = mode;
    ASSERT_TRUE(card.SetEveryFrameServices(0));
    ASSERT_TRUE(other.GetEveryFrameServices(&mode));
    EXPECT_EQ(mode, 0u);
    ASSERT_TRUE(card.SetEveryFrameServices(saved));

    ASSERT_TRUE(card.SetVideoFormat(card::kVideoFormat1080));
    ASSERT_TRUE(card.SetReferenceSource(1));
    ASSERT_TRUE(card.SetFrameBufferFormat(2, card::kFrameBufferFormat8Bit422));
    EXPECT_FALSE(card.SetFrameBufferFormat(3, 1));
    ASSERT_TRUE(card.SetQ9Xpt5FrameBuffer2InputSelect(30));
    uint32_t format = 0;
    ASSERT_TRUE(other.GetVideoFormat(&format));
    EXPECT_EQ(format, card::kVideoFormat1080);
    const cardlib::VideoSetup setup = cardlib::findBoard(0)->videoSetup();
    EXPECT_EQ(setup.referenceSource, 1u);
    EXPECT_EQ(setup.frameBufferFormat[1], card::kFrameBufferFormat8Bit422);
    EXPECT_EQ(setup.frameBuffer2Input, 30u);
}

TEST_F(VirtualCard, CardsOpenedBeforeAMediaChangeKeepTheirBoard) {
    CWyrnCard card;
    ASSERT_TRUE(card.Open(0));
    ASSERT_TRUE(card.WriteRegister(kScratchRegister, 42));
    TempManifest manifest(QJsonObject{{"volume", "SRMEDIA"}, {"clips", QJsonArray{clipJson("X1")}}});
    cardlib::useManifest(manifest.path());
    uint32_t value = 0;
    ASSERT_TRUE(card.ReadRegister(kScratchRegister, &value));
    EXPECT_EQ(value, 42u);
    ASSERT_TRUE(card.Open(0, false, card::kAnyBoardType));
    ASSERT_TRUE(card.ReadRegister(kScratchRegister, &value));
    EXPECT_EQ(value, 42u) << "opening its own board again keeps the board it had";
    CWyrnCard fresh;
    ASSERT_TRUE(fresh.Open(0));
    ASSERT_TRUE(fresh.ReadRegister(kScratchRegister, &value));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(cardlib::findBoard(0)->recorder()->manifest().clips.at(0).record.fileName, "X1");
}

TEST_F(VirtualCard, OpeningTheOpenBoardAgainWithAnyTypeKeepsExclusiveUseAndRingDma) {
    const uint32_t code = card::kVantrelApplicationCode;
    constexpr uint32_t crosspoint = 2;
    CWyrnCard capture, other;
    ASSERT_TRUE(capture.Open(0));
    ASSERT_TRUE(capture.AcquireStreamForApplication(code, 100));
    ASSERT_TRUE(capture.InitAutoCirculate(crosspoint, 0, 16, 1, 0));
    ASSERT_TRUE(capture.StartAutoCirculate(crosspoint));

    ASSERT_TRUE(capture.Open(0, false, card::kAnyBoardType));
    EXPECT_TRUE(capture.BoardOpened());
    EXPECT_EQ(capture.GetInput1VideoFormat(), card::kVideoFormat1080);
    ASSERT_TRUE(other.Open(0, false, card::kAnyBoardType)) << "type 0 opens a closed card too";
    EXPECT_FALSE(other.AcquireStreamForApplication(code, 200)) << "the second open kept the hold";
    AUTOCIRCULATE_STATUS_STRUCT status;
    ASSERT_TRUE(capture.GetAutoCirculate(crosspoint, &status));
    EXPECT_EQ(status.state, card::kAutoCirculateRunning);

    EXPECT_FALSE(capture.Open(0, false, 3)) << "another board type is still refused";
    EXPECT_FALSE(capture.BoardOpened());
    EXPECT_TRUE(other.AcquireStreamForApplication(code, 200)) << "the refused open closed the card";
    EXPECT_FALSE(capture.Open(1, false, card::kAnyBoardType));
}

TEST_F(VirtualCard, AnUnconnectedSdiInputHasNoValidFormatAndCarriesNoPlayOut) {
    qputenv(cardlib::kSimSpeedVariable, "max");
    TempManifest manifest(QJsonObject{
        {"volume", "SRMEDIA"}, {"sdiConnected", false}, {"clips", QJsonArray{clipJson("U1", 4)}}});
    cardlib::useManifest(manifest.path());
    CWyrnCard card;
    ASSERT_TRUE(card.Open(0, false, card::kAnyBoardType));
    EXPECT_EQ(card.GetInput1VideoFormat(), 0u);

    // The recorder still answers on the UART and plays, but no picture of its play-out is captured.
    constexpr uint32_t crosspoint = 2;
    selectAndPlay(*cardlib::findBoard(0)->recorder(), "U1");
    ASSERT_TRUE(card.InitAutoCirculate(crosspoint, 0, 16, 1, 0));
    ASSERT_TRUE(card.StartAutoCirculate(crosspoint));
    std::vector<uint8_t> picture(card::kPictureBytes8Bit);
    for (uint32_t i = 0; i < SdiOutput::kLeadInPictures + 4; ++i) {
        ASSERT_TRUE(eventually([&] {
            AUTOCIRCULATE_STATUS_STRUCT status;
            return card.GetAutoCirculate(crosspoint, &status) && status.bufferLevel > 0;
        }));
        AUTOCIRCULATE_TRANSFER_STRUCT request;
        request.channelSpec = crosspoint;
        request.videoBuffer = picture.data();
        request.videoBufferSize = uint32_t(picture.size());
        ASSERT_TRUE(card.TransferWithAutoCirculate(&request, nullptr));
        EXPECT_FALSE(IsValidFrame(picture.data(), true)) << "picture " << i;
    }
    card.Close();
    qunsetenv(cardlib::kSimSpeedVariable);

    manifest.rewrite(QJsonObject{{"volume", "SRMEDIA"}});
    cardlib::useManifest(manifest.path());
    ASSERT_TRUE(card.Open(0, false, card::kAnyBoardType));
    EXPECT_EQ(card.GetInput1VideoFormat(), card::kVideoFormat1080);
}
