// The estimate of a batch's files against what transfers really wrote, the sizes people read, and the
// refusal of a batch that does not fit.

#include "batch/DiskSpace.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

SRFileInfo clipOf(uint32_t frames, int codec, double frameRate, uint8_t channels) {
    SRFileInfo clip;
    clip.interlaced = 1;
    clip.fileValid = 1;
    clip.durationFrames = frames;
    clip.codec = codec;
    clip.frameRate = frameRate;
    clip.rawTail[kRawTailSoundChannels] = channels;
    return clip;
}

struct Measured {
    SRFileInfo clip;
    uint64_t bytes; // NAME.mxf, NAME.json, NAME.mxf.sha256 and NAME.framemd5 of a transfer with data items
};

TEST(DiskSpace, TheEstimateCoversWhatTransfersWroteWithLittleToSpare) {
    // Measured with vantrel-transfer --framemd5 on generated clips: HQ 29.97 with 8 channels, SQ 59.94 with
    // 16, Lite 23.98 without sound, HQ 50 with 3.
    for (const Measured &measured :
         {Measured{clipOf(12, 0, 29.97, 8), 23'008'694}, Measured{clipOf(37, 1, 59.94, 16), 70'940'388},
          Measured{clipOf(37, 2, 23.98, 0), 34'719'292}, Measured{clipOf(37, 0, 50, 3), 69'746'468}}) {
        const uint64_t estimate = estimatedTransferBytes(measured.clip);
        EXPECT_GE(estimate, measured.bytes) << measured.clip.durationFrames;
        EXPECT_LE(estimate, measured.bytes + measured.bytes / 200 + 64 * 1024)
            << measured.clip.durationFrames;
    }
    // An hour grows with its frames; a clip that cannot be transferred needs nothing.
    EXPECT_GT(estimatedTransferBytes(clipOf(107'892, 0, 29.97, 8)), 107'892ull * 1'875'000);
    SRFileInfo invalid = clipOf(12, 0, 29.97, 8);
    invalid.fileValid = 0;
    EXPECT_EQ(estimatedTransferBytes(invalid), 0u);
    EXPECT_EQ(estimatedTransferBytes(clipOf(12, 3, 29.97, 8)), 0u);
}

TEST(DiskSpace, SizesReadInDecimalUnitsRoundedTheSafeWay) {
    EXPECT_EQ(readableBytes(0), "0 B");
    EXPECT_EQ(readableBytes(999), "999 B");
    EXPECT_EQ(readableBytes(1000), "1.0 kB");
    EXPECT_EQ(readableBytes(3'120'000'000), "3.2 GB");
    EXPECT_EQ(readableBytes(3'120'000'000, true), "3.1 GB");
    EXPECT_EQ(readableBytes(999'999'999, true), "999.9 MB");
    EXPECT_EQ(readableBytes(1'000'000'000, true), "1.0 GB");
    EXPECT_EQ(readableBytes(2'500'000'000'000), "2.5 TB");
}

class SpaceRefusal : public ::testing::Test {
protected:
    void TearDown() override { setFreeSpaceProbe({}); }
    void freeBytes(std::optional<uint64_t> bytes) {
        setFreeSpaceProbe([this, bytes](const QString &folder) {
            asked = folder;
            return bytes;
        });
    }
    QString asked;
};

TEST_F(SpaceRefusal, GivesWhatTheClipsNeedAndWhatIsFree) {
    const std::vector<SRFileInfo> clips{clipOf(12, 0, 29.97, 8), clipOf(37, 1, 59.94, 16)};
    const uint64_t needed = estimatedTransferBytes(clips[0]) + estimatedTransferBytes(clips[1]);
    freeBytes(needed);
    EXPECT_FALSE(spaceProblem(clips, "/archive/day1"));
    EXPECT_EQ(asked, "/archive/day1");
    freeBytes(needed - 1);
    EXPECT_EQ(spaceProblem(clips, "/archive/day1").value_or("").toStdString(),
              "not enough disk space: the transfer needs 94.1 MB, 94.0 MB free at /archive/day1");
    freeBytes(1'100'000'000);
    EXPECT_EQ(spaceProblem(std::vector<SRFileInfo>(34, clips[1]), "/archive/day1").value_or("").toStdString(),
              "not enough disk space: the transfer needs 2.5 GB, 1.1 GB free at /archive/day1");
    // Free space that cannot be known refuses nothing: a full disk is still caught while writing.
    freeBytes(std::nullopt);
    EXPECT_FALSE(spaceProblem(clips, "/archive/day1"));
}

// Copies to two folders of one file system need the room twice; a copy on another file system (/proc is
// mounted apart from / on every Linux) is counted against its own free space.
TEST_F(SpaceRefusal, CopiesOnOneFileSystemAddUp) {
    const std::vector<SRFileInfo> clips{clipOf(12, 0, 29.97, 8), clipOf(37, 1, 59.94, 16)};
    const uint64_t needed = estimatedTransferBytes(clips[0]) + estimatedTransferBytes(clips[1]);
    freeBytes(2 * needed - 1);
    EXPECT_FALSE(spaceProblem({{"/archive/day1", clips}, {"/proc/vantrel-copy", clips}}));
    EXPECT_EQ(
        spaceProblem({{"/archive/day1", clips}, {"/archive/day2", clips}}).value_or("").toStdString(),
        "not enough disk space: the copies to /archive/day1 and /archive/day2 share one file system and "
        "need 188.2 MB, 188.1 MB free there");
    EXPECT_FALSE(spaceProblem({{"/archive/day1", clips}, {"/archive/day2", {clips[0]}}}))
        << "each copy counts the clips it takes";
}

TEST(DiskSpace, AFolderNotYetMadeHasTheFreeSpaceOfItsNearestParent) {
    QTemporaryDir folder;
    const std::optional<uint64_t> parent = freeSpaceAt(folder.path());
    ASSERT_TRUE(parent);
    const std::optional<uint64_t> below = freeSpaceAt(folder.filePath("REEL01/day2"));
    ASSERT_TRUE(below);
    // The same disk; other processes may write in between.
    EXPECT_NEAR(double(*below), double(*parent), 64.0 * 1024 * 1024);
}

} // namespace
