#include "source/ClipMetadata.h"

#include "bytes/ByteReader.h"
#include "recorder/SoundFormat.h"
#include "source/ChannelStatus.h"
#include "source/PictureCoding.h"

namespace {

constexpr int32_t samplingFullChroma = 1;
constexpr SMDKPair size1080{1920, 1080};
constexpr SMDKPair size720{1280, 720};
constexpr SMDKPair interlacedLineMap{21, 584};
constexpr SMDKPair progressiveLineMap{42, 0};
constexpr SMDKPair wideScreen{16, 9};

SMDKDateTime toMetadataDateTime(const SRDateTime &dateTime) {
    return SMDKDateTime{dateTime.year,   dateTime.month,  dateTime.day,      dateTime.hour,
                        dateTime.minute, dateTime.second, dateTime.subSecond};
}

// The sound channels' data-channel mask and emphasis codes, both little-endian in the clip's raw tail.
struct SoundChannelCodes {
    uint16_t dataChannelMask = 0;
    uint32_t emphasisCodes = 0;
};

SoundChannelCodes readSoundChannelCodes(const SRFileInfo &info) {
    SoundChannelCodes codes;
    ByteReader reader(info.rawTail);
    if (reader.seek(kRawTailDataChannelMask))
        reader.readU16LE(codes.dataChannelMask);
    if (reader.seek(kRawTailEmphasis))
        reader.readU32LE(codes.emphasisCodes);
    return codes;
}

} // namespace

void fillFromClipInfo(SMDKMetadataValues &values, const SRFileInfo &info) {
    values.metadataVersion = kMetadataVersion;
    values.packageName = info.sourcePath.toStdU16String();
    values.packageName.resize(kPackageNameLength, u'\0');
    values.editRate = SMDKRational{info.rateNumerator, info.rateDenominator};
    values.isProgressive = info.interlaced == 0;
    values.isDropFrame = info.dropFrame != 0;
    values.duration = int64_t(info.durationFrames);
    values.bitRate = pictureBitRate(info.codec, info.frameRate);

    values.isFullChroma = info.sampling == samplingFullChroma;
    values.chromaSubsampling = values.isFullChroma ? SMDKPair{1, 1} : SMDKPair{2, 1};
    // The stored picture is the frame, or one field of it; 720-line clips carry 1280 x 720 pictures.
    const SMDKPair frame = info.is720 ? size720 : size1080;
    values.storedSize = info.interlaced ? SMDKPair{frame.first, frame.second / 2} : frame;
    values.videoLineMap = info.interlaced ? interlacedLineMap : progressiveLineMap;
    values.componentDepth = info.bitDepth;
    values.profileAndLevel = profileAndLevel(PictureFormat{.is720 = info.is720 != 0,
                                                           .fullChroma = values.isFullChroma,
                                                           .frameRate = info.frameRate,
                                                           .bitRate = values.bitRate,
                                                           .componentDepth = values.componentDepth});

    values.firstTimestamp = toMetadataDateTime(info.dateTime1);
    values.secondTimestamp = toMetadataDateTime(info.dateTime2);
    values.startTimecode = int64_t(info.startFrame);
    values.extraFlag = true;

    values.essenceKind = kEssenceKindMpegHd;
    values.aspectRatio = wideScreen;
    values.mpegFlagA = values.mpegFlagB = values.mpegFlagC = true;
    values.mpegFlagD = values.mpegFlagE = values.mpegFlagF = true;
    values.mpegValueA = 1;
    values.mpegValueB = 0;
    values.mpegValueC = 0;

    const uint8_t channels = info.rawTail[kRawTailSoundChannels];
    values.soundChannelCount = channels;
    values.soundBitsPerSample = kSoundBitsPerSample;
    values.soundSamplingRates.assign(channels, SMDKRational{kSoundSamplingRate, 1});
    const SoundChannelCodes codes = readSoundChannelCodes(info);
    values.channelStatuses = channelStatusBlocks(channels, codes.dataChannelMask, codes.emphasisCodes);

    values.offsetValue = 0;
    values.trailingValueA = 1;
    values.trailingValueB = 2;
}
