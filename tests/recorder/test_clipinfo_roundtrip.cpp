// Clip records of the simulated recorder, encoded as its file-information replies and decoded again:
// every field of the record must come back.

#include "platform/srmodule/ClipInfoReply.h"
#include "recorder/FileInfoDecoding.h"
#include "recorder/Timecode.h"

#include <gtest/gtest.h>
#include <random>

namespace {

ClipRecord manifestExample() {
    ClipRecord clip;
    clip.fileName = "A001C001";
    clip.secondName = "REEL01";
    clip.valid = 1;
    clip.durationFrames = 300;
    clip.date1 = {2012, 7, 15, 9, 30, 0, 0};
    clip.date2 = {2012, 7, 15, 9, 41, 10, 0};
    clip.dropFrame = 1;
    clip.startTimecode = {1, 0, 0, 0};
    clip.soundChannels = 8;
    clip.formatLetter = '1';
    return clip;
}

ClipRecord randomClip(std::mt19937 &random) {
    const auto pick = [&random](unsigned lowest, unsigned highest) {
        return std::uniform_int_distribution<unsigned>(lowest, highest)(random);
    };
    const auto name = [&](unsigned shortest) {
        std::string text(pick(shortest, 64), ' ');
        for (char &c : text)
            c = char(pick(0x21, 0xFF));
        return text;
    };
    const auto date = [&] {
        return ClipDateTime{uint16_t(pick(0, 9999)), uint8_t(pick(1, 12)), uint8_t(pick(1, 28)),
                            uint8_t(pick(0, 23)),    uint8_t(pick(0, 59)), uint8_t(pick(0, 59)),
                            uint8_t(pick(0, 99))};
    };
    ClipRecord clip;
    clip.fileName = name(1);
    clip.secondName = name(0);
    clip.valid = uint8_t(pick(0, 255));
    clip.durationFrames = uint32_t(random());
    clip.date1 = date();
    clip.date2 = date();
    clip.dropFrame = uint8_t(pick(0, 1) * pick(1, 255));
    clip.rateIndex = uint8_t(pick(0, 13));
    clip.scan = uint8_t(pick(0, 2));
    clip.size = uint8_t(pick(0, 1));
    clip.sampling = uint8_t(pick(0, 2));
    clip.bitDepth = uint8_t(pick(0, 3));
    clip.codec = uint8_t(pick(0, 2));
    clip.stereo3D = uint8_t(pick(0, 1));
    clip.startTimecode = {uint8_t(pick(0, 23)), uint8_t(pick(0, 59)), uint8_t(pick(0, 59)),
                          uint8_t(pick(0, 23))};
    clip.soundChannels = uint8_t(pick(0, 16));
    clip.dataChannelMask = uint16_t(pick(0, 0xFFFF));
    clip.emphasis = uint32_t(random());
    clip.formatLetter = "!1A"[pick(0, 2)];
    for (uint8_t &byte : clip.identifier)
        byte = uint8_t(pick(0, 255));
    return clip;
}

std::string expectedTimecodeText(const ClipTimecode &t, bool dropFrame) {
    char text[32];
    std::snprintf(text, sizeof text, dropFrame ? "%02u:%02u:%02u,%02u " : "%02u:%02u:%02u:%02u ", t.hours,
                  t.minutes, t.seconds, t.frames);
    return text;
}

std::string expectedDateText(const ClipDateTime &d) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u", d.year, d.month, d.day, d.hour, d.minute);
    return text;
}

void expectSameDate(const SRDateTime &decoded, const ClipDateTime &clip) {
    EXPECT_EQ(decoded, (SRDateTime{clip.year, clip.month, clip.day, clip.hour, clip.minute, clip.second,
                                   clip.hundredths}));
}

uint32_t tailWord(const SRFileInfo &info, size_t offset, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = bytes; i-- > 0;)
        value = (value << 8) | info.rawTail[offset + i];
    return value;
}

// Decodes the clip's reply as the device holds it (without checksum) and as it arrives (with it), checks
// that both agree on every field against the clip, and returns the record.
SRFileInfo expectRoundTrip(const ClipRecord &clip) {
    const std::vector<uint8_t> reply = encodeFileInfoReply(clip, 7);
    const QString path = QStringLiteral("SRMEDIA/CLIPS");
    const std::optional<SRFileInfo> framed = decodeFileInfo(reply.data(), reply.size(), path);
    const std::optional<SRFileInfo> decoded = decodeFileInfo(reply.data(), reply.size() - 1, path);
    if (!decoded || !framed) {
        ADD_FAILURE() << "a complete reply was rejected";
        return {};
    }
    const SRFileInfo &info = *decoded;
    const bool dropFrame = clip.dropFrame != 0;
    static constexpr int16_t kDepths[] = {8, 10, 12, 16};

    EXPECT_EQ(info.sourcePath, path);
    EXPECT_EQ(info.fileName, clip.fileName);
    EXPECT_EQ(info.secondName, clip.secondName);
    EXPECT_EQ(info.fileValid, clip.valid != 0 ? 1 : 0);
    EXPECT_EQ(info.durationFrames, clip.durationFrames);
    expectSameDate(info.dateTime1, clip.date1);
    expectSameDate(info.dateTime2, clip.date2);
    EXPECT_EQ(info.dateText1, expectedDateText(clip.date1));
    EXPECT_EQ(info.dateText2, expectedDateText(clip.date2));
    EXPECT_EQ(info.dropFrame, dropFrame ? 1 : 0);
    EXPECT_EQ(info.startText, expectedTimecodeText(clip.startTimecode, dropFrame));
    const auto fps = uint32_t(info.frameRate + 0.5);
    const Timecode start = framesToTimecode(info.startFrame, fps, dropFrame);
    const ClipTimecode &t = clip.startTimecode;
    const bool leftOutFrame =
        dropFrame && t.seconds == 0 && t.minutes % 10 != 0 && t.frames < (fps == 60 ? 4u : 2u);
    if (!leftOutFrame) {
        EXPECT_EQ(start, (Timecode{t.hours, t.minutes, t.seconds, t.frames})) << info.startText;
    }
    const Timecode duration = framesToTimecode(info.durationFrames, fps, dropFrame);
    EXPECT_EQ(info.durationText, expectedTimecodeText({uint8_t(duration.hours), uint8_t(duration.minutes),
                                                       uint8_t(duration.seconds), uint8_t(duration.frames)},
                                                      dropFrame));
    EXPECT_EQ(info.interlaced, clip.scan == 0 ? 1 : 0);
    EXPECT_EQ(info.psf, clip.scan == 1 ? 1 : 0);
    EXPECT_EQ(info.is720, clip.size == 0 ? 1 : 0);
    EXPECT_EQ(info.sampling, clip.sampling);
    EXPECT_EQ(info.bitDepth, kDepths[clip.bitDepth]);
    EXPECT_EQ(info.codec, clip.codec);
    EXPECT_EQ(info.stereo3D, clip.stereo3D);
    EXPECT_EQ(info.rawTail[0], 0);
    EXPECT_EQ(info.rawTail[kRawTailSoundChannels], clip.soundChannels);
    EXPECT_EQ(tailWord(info, kRawTailDataChannelMask, 2), clip.dataChannelMask);
    EXPECT_EQ(tailWord(info, kRawTailEmphasis, 4), clip.emphasis);
    EXPECT_EQ(char(info.rawTail[kRawTailFormatLetter]), clip.formatLetter);
    EXPECT_TRUE(std::equal(clip.identifier.begin(), clip.identifier.end(),
                           info.rawTail.begin() + kRawTailIdentifier));

    EXPECT_EQ(framed->formatText, info.formatText);
    EXPECT_EQ(framed->rawTail, info.rawTail);
    EXPECT_EQ(framed->startFrame, info.startFrame);
    return info;
}

} // namespace

TEST(ClipInfoRoundTrip, TheManifestExampleComesBackWithItsTableTexts) {
    const SRFileInfo info = expectRoundTrip(manifestExample());
    EXPECT_EQ(info.fileName, "A001C001");
    EXPECT_EQ(info.startText, "01:00:00,00 ");
    EXPECT_EQ(info.startFrame, 107892u);
    EXPECT_EQ(info.durationText, "00:00:10,00 ");
    EXPECT_EQ(info.formatText, "59.94i 1080 4:2:2 10bit SR-HQ");
    EXPECT_EQ(info.dateText1, "2012/07/15 09:30");
    EXPECT_EQ(info.dateText2, "2012/07/15 09:41");
}

TEST(ClipInfoRoundTrip, NamesFillingTheirWholeFieldComeBackWhole) {
    ClipRecord clip = manifestExample();
    clip.fileName = std::string(64, 'F');
    clip.secondName = std::string(64, 'S');
    expectRoundTrip(clip);
}

TEST(ClipInfoRoundTrip, RandomRecordsComeBackFieldForField) {
    std::mt19937 random(20120715);
    for (int i = 0; i < 2000 && !HasFailure(); ++i) {
        const ClipRecord clip = randomClip(random);
        SCOPED_TRACE("clip " + std::to_string(i));
        expectRoundTrip(clip);
    }
}
