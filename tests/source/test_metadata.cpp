#include "source/ChannelStatus.h"
#include "source/ClipMetadata.h"
#include "source/PictureCoding.h"
#include "source/SMDKDefaultMetadata.h"
#include "tests/source/ClipInfoFixture.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

namespace {

SMDKMetadataValues filled(const SRFileInfo &info) {
    SMDKMetadataValues values;
    fillFromClipInfo(values, info);
    return values;
}

SMDKChannelStatus statusWithByte0(uint8_t byte0) {
    return SMDKChannelStatus{byte0};
}

} // namespace

TEST(DefaultMetadata, FreshObjectHasTableDefaults) {
    const SMDKDefaultMetadata metadata;
    EXPECT_EQ(metadata.metadataVersion(), 0);
    EXPECT_EQ(metadata.identificationInfo(), IdentificationRecord());
    EXPECT_EQ(metadata.essenceKind(), -1);
    EXPECT_EQ(metadata.duration(), -1);
    EXPECT_EQ(metadata.trailingValueA(), 1);
    EXPECT_EQ(metadata.trailingValueB(), 2);
    EXPECT_EQ(metadata.editRate(), (SMDKRational{0, 0}));
    EXPECT_EQ(metadata.soundChannelCount(), 0);
    EXPECT_TRUE(metadata.packageName().empty());
    EXPECT_FALSE(metadata.mpegFlagA());
    // Both package UMIDs are fresh, labelled, of material type 0x0D, and differ.
    EXPECT_EQ(metadata.firstPackageUmid().bytes[10], 0x0D);
    EXPECT_EQ(metadata.secondPackageUmid().bytes[10], 0x0D);
    EXPECT_EQ(metadata.firstPackageUmid().bytes[0], 0x06);
    EXPECT_NE(metadata.firstPackageUmid(), metadata.secondPackageUmid());
}

TEST(DefaultMetadata, KeepsIdentificationGiven) {
    IdentificationRecord identification;
    identification.companyName = u"Company";
    identification.productVersion = {1, 0, 0, 0, 1};
    identification.productUID[0] = 0xC3;
    EXPECT_EQ(SMDKDefaultMetadata(identification).identificationInfo(), identification);
}

TEST(DefaultMetadata, ChannelBeyondTheLastGivesDefaults) {
    SMDKDefaultMetadata metadata;
    fillFromClipInfo(metadata.values, clipInfo());
    ASSERT_EQ(metadata.soundChannelCount(), 2);
    EXPECT_EQ(metadata.soundSamplingRate(1), (SMDKRational{48000, 1}));
    EXPECT_EQ(metadata.soundSamplingRate(2), (SMDKRational{0, 1}));
    EXPECT_EQ(metadata.channelStatus(2), statusWithByte0(0x01));
    EXPECT_EQ(metadata.channelStatus(UINT32_MAX), statusWithByte0(0x01));
}

TEST(ClipMetadata, PackageNameIsPaddedWithNulToFortyCodeUnits) {
    SRFileInfo info = clipInfo();
    info.sourcePath = QStringLiteral("/SRM/A01");
    const std::u16string name = filled(info).packageName;
    ASSERT_EQ(name.size(), 40u);
    EXPECT_EQ(name.substr(0, 8), u"/SRM/A01");
    EXPECT_EQ(name.substr(8), std::u16string(32, u'\0'));
}

TEST(ClipMetadata, SoundChannelsAre24Bit48kHz) {
    SRFileInfo info = clipInfo();
    setSoundChannelCodes(info, 4, 0, 0);
    const SMDKMetadataValues values = filled(info);
    EXPECT_EQ(values.soundChannelCount, 4);
    EXPECT_EQ(values.soundBitsPerSample, 24);
    EXPECT_EQ(values.soundSamplingRates, std::vector<SMDKRational>(4, SMDKRational{48000, 1}));
    EXPECT_EQ(values.channelStatuses, std::vector<SMDKChannelStatus>(4, statusWithByte0(0x85)));
}

TEST(ClipMetadata, EmphasisAndDataChannelSetChannelStatusByte0) {
    SRFileInfo info = clipInfo();
    // Channel 0 code 1 (50/15 us), channel 1 code 2 (J.17), channel 2 code 3 (none), channel 3 a data
    // channel with code 0.
    setSoundChannelCodes(info, 4, 0x0008, 0x9 | 0x3 << 4);
    const std::vector<SMDKChannelStatus> statuses = filled(info).channelStatuses;
    ASSERT_EQ(statuses.size(), 4u);
    EXPECT_EQ(statuses[0], statusWithByte0(0x8D));
    EXPECT_EQ(statuses[1], statusWithByte0(0x9D));
    EXPECT_EQ(statuses[2], statusWithByte0(0x85));
    EXPECT_EQ(statuses[3], statusWithByte0(0x87));
}

TEST(ChannelStatus, ChannelsBeyondSixteenAreAudioWithoutEmphasis) {
    // Code 1 (50/15 us) for each of the sixteen channels the word describes.
    const std::vector<SMDKChannelStatus> statuses = channelStatusBlocks(40, 0xFFFF, 0x55555555);
    ASSERT_EQ(statuses.size(), 40u);
    EXPECT_EQ(statuses[15], statusWithByte0(0x8F)); // data, 50/15 us
    EXPECT_EQ(statuses[16], statusWithByte0(0x85));
    EXPECT_EQ(statuses[39], statusWithByte0(0x85));
}

TEST(PictureCoding, BitRateFromQualityAndRoundedFrameRate) {
    EXPECT_EQ(pictureBitRate(1, 29.97), 450'000'000);
    EXPECT_EQ(pictureBitRate(0, 29.97), 450'000'000);
    EXPECT_EQ(pictureBitRate(2, 23.98), 180'000'000);
    EXPECT_EQ(pictureBitRate(1, 59.94), 900'000'000);
    EXPECT_EQ(filled(clipInfo()).bitRate, 450'000'000);
}

TEST(PictureCoding, ProfileAndLevelLimits) {
    // 1080 4:2:2 at 30: every limit of the first level holds but the depth.
    EXPECT_EQ(profileAndLevel(PictureFormat{false, false, 29.97, 450'000'000, 12}), 0xE3);
    // A bit rate above every level's limit.
    EXPECT_EQ(profileAndLevel(PictureFormat{false, false, 29.97, -1, 10}), 0xE0);
    // 1080 4:4:4 at 90 frames per second: too many samples per second for the third level.
    EXPECT_EQ(profileAndLevel(PictureFormat{false, true, 90.0, pictureBitRate(1, 90.0), 10}), 0xEB);
}

// The stored size is the frame's, or a field's for interlaced clips, at 1920 x 1080 or 1280 x 720, so
// that readers report the size the pictures decode to.
TEST(ClipMetadata, StoredSizeIsTheFieldOrFrameOfThePictureSize) {
    SRFileInfo info = clipInfo();
    EXPECT_EQ(filled(info).storedSize, (SMDKPair{1920, 540}));
    info.is720 = 1;
    EXPECT_EQ(filled(info).storedSize, (SMDKPair{1280, 360}));
    info.interlaced = 0;
    EXPECT_EQ(filled(info).storedSize, (SMDKPair{1280, 720}));
}

// 1080 4:2:2 10-bit at 29.97, then in 4:4:4, then at 59.94, then at 720 lines.
TEST(ClipMetadata, ProfileAndLevelExamples) {
    SRFileInfo info = clipInfo();
    EXPECT_EQ(filled(info).profileAndLevel, 0xE2);
    info.sampling = 1;
    EXPECT_EQ(filled(info).profileAndLevel, 0xE3);
    info.sampling = 0;
    info.frameRate = 59.94;
    EXPECT_EQ(filled(info).profileAndLevel, 0xE4);
    info.is720 = 1;
    EXPECT_EQ(filled(info).profileAndLevel, 0xE3);
}
