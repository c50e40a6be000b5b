// The recorder's SDI output: idle pictures around a clip's play-out, the blocks as picture pairs, and the
// play-out faults a manifest can ask for.

#include "capture/PayloadExtraction.h"
#include "platform/srmodule/ManifestReader.h"
#include "platform/srmodule/Playout.h"
#include "platform/srmodule/SdiOutput.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/RecorderCommands.h"
#include "tests/support/TempManifest.h"

#include <algorithm>
#include <gtest/gtest.h>

using testsupport::clipJson;
using testsupport::selectAndPlay;
using testsupport::sendCommand;
using testsupport::TempManifest;

namespace {

bool isIdle(const SdiPicture &picture) {
    return std::all_of(picture.data(), picture.data() + SdiPicture::size(), [](uint8_t b) { return b == 0; });
}

// A recorder with one Lite clip of 12 frames (two blocks) and the given play-out faults.
std::shared_ptr<SimulatedRecorder> recorderWith(const QJsonObject &faults) {
    QJsonObject clip = clipJson("C1", 12);
    clip["codec"] = 2;
    clip["faults"] = faults;
    const TempManifest file(QJsonObject{{"clips", QJsonArray{clip}}});
    const ManifestResult result = readManifest(file.path());
    EXPECT_TRUE(result.manifest) << result.error.toStdString();
    return std::make_shared<SimulatedRecorder>(result.manifest.value_or(ClipManifest{}));
}

std::vector<uint8_t> blockOf(const SdiPicture &a, const SdiPicture &b) {
    std::vector<uint8_t> pictures(a.data(), a.data() + SdiPicture::size());
    pictures.insert(pictures.end(), b.data(), b.data() + SdiPicture::size());
    std::vector<uint8_t> block(payload::kBlockSize);
    ExtractPayload(block.data(), pictures.data(), pictures.data() + payload::kLineBytes8Bit, true);
    return block;
}

} // namespace

TEST(SdiOutput, SendsIdlePicturesThenTheClipsBlocksInPairsThenIdlePicturesAgain) {
    auto recorder = recorderWith({});
    SdiOutput output(recorder);
    EXPECT_TRUE(isIdle(output.nextPicture())) << "nothing plays yet";
    selectAndPlay(*recorder, "C1");
    for (uint32_t i = 0; i < SdiOutput::kLeadInPictures; ++i)
        EXPECT_TRUE(isIdle(output.nextPicture()));
    Playout expected(recorder->manifest().clips[0]);
    for (std::vector<uint8_t> block = expected.nextBlock(); !block.empty(); block = expected.nextBlock()) {
        const SdiPicture a = output.nextPicture();
        EXPECT_TRUE(IsValidFrame(a.data(), true)) << "picture A begins a block";
        const SdiPicture b = output.nextPicture();
        EXPECT_TRUE(blockOf(a, b) == block);
    }
    EXPECT_TRUE(isIdle(output.nextPicture()));
    sendCommand(*recorder, {0xF9, 0xFA, 0x01});
    for (uint32_t i = 0; i < SdiOutput::kLeadInPictures; ++i)
        EXPECT_TRUE(isIdle(output.nextPicture())) << "a new start plays the clip again from its beginning";
    EXPECT_TRUE(IsValidFrame(output.nextPicture().data(), true));
}

TEST(SdiOutput, LosesOrFailsTheAskedForPicturesOnlyOnce) {
    auto recorder = recorderWith({{"dropsPicture", 4}, {"failsTransferOfPicture", 6}});
    SdiOutput output(recorder);
    selectAndPlay(*recorder, "C1");
    for (uint32_t i = 0; i < 8; ++i) {
        const SdiPicture picture = output.nextPicture();
        EXPECT_EQ(picture.lost, i == 4) << i;
        EXPECT_EQ(picture.failsTransfer, i == 6) << i;
    }
    selectAndPlay(*recorder, "C1");
    for (uint32_t i = 0; i < 8; ++i) {
        const SdiPicture picture = output.nextPicture();
        EXPECT_FALSE(picture.lost || picture.failsTransfer) << "a second play-out loses nothing";
    }
}

TEST(SdiOutput, APlayOutThatNeverStartsStaysIdle) {
    auto recorder = recorderWith({{"neverPlays", true}});
    SdiOutput output(recorder);
    selectAndPlay(*recorder, "C1");
    ASSERT_TRUE(recorder->isPlaying());
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(isIdle(output.nextPicture()));
}

TEST(SdiOutput, APlayOutThatStopsInMidClipFallsBackToIdlePictures) {
    auto recorder = recorderWith({{"stopsPlayingAfter", 5}});
    SdiOutput output(recorder);
    selectAndPlay(*recorder, "C1");
    for (int i = 0; i < 5; ++i)
        output.nextPicture();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(isIdle(output.nextPicture()));
}

TEST(SdiOutput, PlayOutFaultsAreReadForClipsOnly) {
    const TempManifest file(QJsonObject{{"faults", QJsonObject{{"neverPlays", true}}}});
    const ManifestResult result = readManifest(file.path());
    EXPECT_FALSE(result.manifest);
    EXPECT_TRUE(result.error.contains("neverPlays"));
    QJsonObject clip = clipJson("C1");
    clip["faults"] = QJsonObject{{"dropsPicture", -1}};
    const TempManifest wrong(QJsonObject{{"clips", QJsonArray{clip}}});
    EXPECT_TRUE(readManifest(wrong.path()).error.contains("dropsPicture"));
    EXPECT_FALSE(readManifest(wrong.path()).manifest) << "a picture number is a whole number from 0";
}
