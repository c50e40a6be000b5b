#include "platform/srmodule/ClipFields.h"
#include "platform/srmodule/ClipInfoReply.h"
#include "platform/srmodule/SerialFrame.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

ClipRecord exampleClip() {
    ClipRecord clip;
    clip.fileName = "A001C001";
    clip.secondName = "REEL01";
    clip.valid = 1;
    clip.durationFrames = 0x01020304;
    clip.date1 = {2012, 7, 15, 9, 30, 0, 0};
    clip.date2 = {1999, 12, 31, 23, 59, 58, 97};
    clip.dropFrame = 1;
    clip.startTimecode = {1, 23, 45, 29};
    clip.rateIndex = 3;
    clip.scan = 0;
    clip.size = 1;
    clip.sampling = 2;
    clip.bitDepth = 3;
    clip.codec = 1;
    clip.stereo3D = 1;
    clip.soundChannels = 8;
    clip.dataChannelMask = 0xA05F;
    clip.emphasis = 0x12345678;
    clip.formatLetter = 'A';
    for (size_t i = 0; i < clip.identifier.size(); ++i)
        clip.identifier[i] = uint8_t(0xE0 + i);
    return clip;
}

std::vector<uint8_t> bytesAt(const std::vector<uint8_t> &bytes, size_t first, size_t count) {
    return {bytes.begin() + long(first), bytes.begin() + long(first + count)};
}

} // namespace

TEST(SerialFrame, BuildsTheSelectFileFrameOfTheProtocol) {
    const std::vector<uint8_t> data = {0x01, 0x00, 0x00, 0x41, 0x30, 0x30, 0x31, 0x00};
    const std::vector<uint8_t> expected = {0x30, 0x08, 0x16, 0x00, 0x01, 0x00, 0x00,
                                           0x41, 0x30, 0x30, 0x31, 0x00, 0x21};
    EXPECT_EQ(buildFrame(0x16, 0x00, data), expected);
}

TEST(SerialFrame, ChecksumWrapsAtEightBitsAndLongestDataStillFits) {
    const std::vector<uint8_t> data(kMaxFrameData, 0xFF);
    const std::vector<uint8_t> frame = buildFrame(0xF5, 0xFA, data);
    ASSERT_EQ(frame.size(), kMaxFrameData + kFrameOverhead);
    EXPECT_EQ(frame[1], 0xFF);
    const unsigned sum = std::accumulate(frame.begin(), frame.end() - 1, 0u);
    EXPECT_EQ(frame.back(), uint8_t(sum));
}

TEST(SerialFrame, RefusesDataTheLengthByteCannotAnnounce) {
    EXPECT_TRUE(buildFrame(0xF5, 0x22, std::vector<uint8_t>(kMaxFrameData + 1)).empty());
}

TEST(FileInfoReply, IsOneCompleteFrameWithTheReplyCommandAndReadyByte) {
    const std::vector<uint8_t> reply = encodeFileInfoReply(exampleClip(), 0x0123);
    ASSERT_EQ(reply.size(), kFileInfoReplySize);
    EXPECT_EQ(bytesAt(reply, 0, 8), (std::vector<uint8_t>{0x30, 202, 0xF5, 0x22, 0x00, 0x23, 0x01, 0x00}));
    EXPECT_EQ(reply.back(), frameChecksum(std::span(reply).first(reply.size() - 1)));
}

TEST(FileInfoReply, PlacesEveryClipFieldAtItsOffset) {
    const std::vector<uint8_t> reply = encodeFileInfoReply(exampleClip());
    ASSERT_EQ(reply.size(), kFileInfoReplySize);
    EXPECT_EQ(reply[8], 1);
    std::vector<uint8_t> name(64, 0);
    std::copy_n("A001C001", 8, name.begin());
    EXPECT_EQ(bytesAt(reply, 9, 64), name);
    std::fill(name.begin(), name.end(), 0);
    std::copy_n("REEL01", 6, name.begin());
    EXPECT_EQ(bytesAt(reply, 73, 64), name);
    EXPECT_EQ(bytesAt(reply, 137, 2), (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(bytesAt(reply, 139, 4), (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(bytesAt(reply, 143, 8), (std::vector<uint8_t>{0x00, 0x00, 0x30, 0x09, 0x15, 0x07, 0x12, 0x20}));
    EXPECT_EQ(bytesAt(reply, 151, 8), (std::vector<uint8_t>{0x97, 0x58, 0x59, 0x23, 0x31, 0x12, 0x99, 0x19}));
    EXPECT_EQ(reply[159], 1);
    EXPECT_EQ(bytesAt(reply, 160, 5), (std::vector<uint8_t>{0x29, 0x45, 0x23, 0x01, 0x00}));
    EXPECT_EQ(bytesAt(reply, 165, 9), (std::vector<uint8_t>{3, 0, 1, 2, 3, 0, 1, 1, 0}));
    EXPECT_EQ(bytesAt(reply, 174, 8), (std::vector<uint8_t>{8, 0x5F, 0xA0, 0x78, 0x56, 0x34, 0x12, 'A'}));
    for (size_t i = 0; i < kClipIdentifierSize; ++i)
        EXPECT_EQ(reply[182 + i], 0xE0 + i) << "identifier byte " << i;
}

TEST(FileInfoReply, CarriesUnusualCodesUnchangedAndCutsLongNamesToTheirField) {
    ClipRecord clip = exampleClip();
    clip.fileName = std::string(70, 'N');
    clip.secondName = std::string(64, 'S');
    clip.rateIndex = 255;
    clip.scan = 7;
    clip.size = 5;
    clip.dropFrame = 0x80;
    const std::vector<uint8_t> reply = encodeFileInfoReply(clip);
    ASSERT_EQ(reply.size(), kFileInfoReplySize);
    EXPECT_EQ(bytesAt(reply, 9, 64), std::vector<uint8_t>(64, 'N'));
    EXPECT_EQ(bytesAt(reply, 73, 64), std::vector<uint8_t>(64, 'S'));
    EXPECT_EQ(reply[159], 0x80);
    EXPECT_EQ(bytesAt(reply, 165, 3), (std::vector<uint8_t>{255, 7, 5}));
}

TEST(ClipFields, ParsesDateTimesWithAndWithoutHundredths) {
    const auto full = parseClipDateTime(QStringLiteral("2012-07-15 09:30:00.25"));
    ASSERT_TRUE(full.value) << full.error.toStdString();
    EXPECT_EQ(*full.value, (ClipDateTime{2012, 7, 15, 9, 30, 0, 25}));
    const auto leapDay = parseClipDateTime(QStringLiteral("2000-02-29 23:59:59"));
    ASSERT_TRUE(leapDay.value) << leapDay.error.toStdString();
    EXPECT_EQ(*leapDay.value, (ClipDateTime{2000, 2, 29, 23, 59, 59, 0}));
}

TEST(ClipFields, RejectsDateTimesThatAreMalformedOrDoNotExist) {
    const struct {
        const char *text;
        const char *problem;
    } cases[] = {
        {"2012-07-15", "not a date-time"},           {"2012-07-15 09:30:00.5", "not a date-time"},
        {"2012-7-15 09:30:00", "not a date-time"},   {"2012-13-01 00:00:00", "month 13"},
        {"2012-00-01 00:00:00", "month 0"},          {"2011-02-29 00:00:00", "day 29"},
        {"2012-04-31 00:00:00", "day 31"},           {"2012-07-15 24:00:00", "hour 24"},
        {"2012-07-15 09:60:00", "minute 60"},        {"2012-07-15 09:30:60", "second 60"},
        {" 2012-07-15 09:30:00", "not a date-time"},
    };
    for (const auto &c : cases) {
        const auto parsed = parseClipDateTime(QString::fromLatin1(c.text));
        EXPECT_FALSE(parsed.value) << c.text;
        EXPECT_TRUE(parsed.error.contains(QLatin1String(c.problem))) << parsed.error.toStdString();
        EXPECT_TRUE(parsed.error.contains(QLatin1String(c.text))) << parsed.error.toStdString();
    }
}

TEST(ClipFields, ParsesTimecodesWithEitherFrameSeparator) {
    const auto colon = parseClipTimecode(QStringLiteral("01:00:00:00"));
    ASSERT_TRUE(colon.value) << colon.error.toStdString();
    EXPECT_EQ(*colon.value, (ClipTimecode{1, 0, 0, 0}));
    const auto semicolon = parseClipTimecode(QStringLiteral("23:59:59;39"));
    ASSERT_TRUE(semicolon.value) << semicolon.error.toStdString();
    EXPECT_EQ(*semicolon.value, (ClipTimecode{23, 59, 59, 39}));
}

TEST(ClipFields, RejectsTimecodesOutOfRangeOrMalformed) {
    const struct {
        const char *text;
        const char *problem;
    } cases[] = {
        {"24:00:00:00", "hours 24"},    {"00:60:00:00", "minutes 60"},      {"00:00:60:00", "seconds 60"},
        {"00:00:00:40", "frames 40"},   {"1:00:00:00", "not a timecode"},   {"01:00:00,00", "not a timecode"},
        {"01:00:00", "not a timecode"}, {"01:00:00:00 ", "not a timecode"},
    };
    for (const auto &c : cases) {
        const auto parsed = parseClipTimecode(QString::fromLatin1(c.text));
        EXPECT_FALSE(parsed.value) << c.text;
        EXPECT_TRUE(parsed.error.contains(QLatin1String(c.problem))) << parsed.error.toStdString();
    }
}

TEST(ClipFields, ParsesIdentifierHexInByteOrder) {
    const auto parsed =
        parseClipIdentifier(QStringLiteral("000102030405060708090a0b0c0d0e0f10111213141516FF"));
    ASSERT_TRUE(parsed.value) << parsed.error.toStdString();
    for (size_t i = 0; i + 1 < kClipIdentifierSize; ++i)
        EXPECT_EQ((*parsed.value)[i], i);
    EXPECT_EQ(parsed.value->back(), 0xFF);
}

TEST(ClipFields, RejectsIdentifiersOfWrongLengthOrDigits) {
    for (const char *text : {"00", "000102030405060708090a0b0c0d0e0f1011121314151617AA",
                             "000102030405060708090a0b0c0d0e0f10111213141516 7",
                             "000102030405060708090a0b0c0d0e0f10111213141516gg"}) {
        const auto parsed = parseClipIdentifier(QString::fromLatin1(text));
        EXPECT_FALSE(parsed.value) << text;
        EXPECT_TRUE(parsed.error.contains(QLatin1String("48 hexadecimal digits")))
            << parsed.error.toStdString();
    }
}

TEST(ClipFields, AcceptsOnlyASingleOneByteFormatLetter) {
    EXPECT_EQ(parseFormatLetter(QStringLiteral("!")).value, '!');
    EXPECT_EQ(parseFormatLetter(QStringLiteral("A")).value, 'A');
    EXPECT_FALSE(parseFormatLetter(QString()).value);
    EXPECT_FALSE(parseFormatLetter(QStringLiteral("1A")).value);
    EXPECT_FALSE(parseFormatLetter(QString(QChar(0x20AC))).value);
}
