#include "recorder/FileInfoDecoding.h"
#include "recorder/RateTables.h"

#include <gtest/gtest.h>

namespace {

// A ready file-information reply without checksum (bytes 0 to 205), every other byte 0; the format
// codes default to 59.94i 1080 4:2:2 10bit HQ.
class Reply {
public:
    Reply() : bytes_(kFileInfoReplyMinimumLength, 0) {
        bytes_[0] = 0x30;
        bytes_[1] = 202;
        bytes_[2] = 0xF5;
        bytes_[3] = 0x22;
        setFormat(3, 0, 1, 0, 1, 0, 0);
    }
    uint8_t &operator[](size_t offset) { return bytes_.at(offset); }
    void setFormat(uint8_t rateIndex, uint8_t scan, uint8_t size, uint8_t sampling, uint8_t bitDepth,
                   uint8_t codec, uint8_t stereo3D) {
        bytes_[165] = rateIndex;
        bytes_[166] = scan;
        bytes_[167] = size;
        bytes_[168] = sampling;
        bytes_[169] = bitDepth;
        bytes_[171] = codec;
        bytes_[172] = stereo3D;
    }
    // Start timecode bytes, frames first, as the recorder sends them.
    void setStart(uint8_t frames, uint8_t seconds, uint8_t minutes, uint8_t hours, bool dropFrame) {
        bytes_[159] = dropFrame ? 1 : 0;
        bytes_[160] = frames;
        bytes_[161] = seconds;
        bytes_[162] = minutes;
        bytes_[163] = hours;
    }
    void setDuration(uint32_t frames) {
        for (size_t i = 0; i < 4; ++i)
            bytes_[139 + i] = uint8_t(frames >> (8 * i));
    }
    void setText(size_t offset, const std::string &text) {
        std::copy(text.begin(), text.end(), &bytes_.at(offset));
    }
    SRFileInfo decode(const QString &path = QStringLiteral("SRMEDIA/CLIPS")) const {
        const std::optional<SRFileInfo> info = decodeFileInfo(bytes_.data(), bytes_.size(), path);
        EXPECT_TRUE(info.has_value());
        return info.value_or(SRFileInfo{});
    }

private:
    std::vector<uint8_t> bytes_;
};

std::string formatOf(uint8_t rateIndex, uint8_t scan, uint8_t size, uint8_t sampling, uint8_t bitDepth,
                     uint8_t codec, uint8_t stereo3D) {
    Reply reply;
    reply.setFormat(rateIndex, scan, size, sampling, bitDepth, codec, stereo3D);
    return reply.decode().formatText;
}

struct RateRow {
    const char *text;
    double frameRate;
    int32_t numerator;
    int32_t denominator;
};

// The recorder's tables as its documentation gives them; rows 14 stand for every code above 13.
constexpr RateRow kInterlacedRows[] = {
    {"47.95i", 23.98, 24000, 1001}, {"48i", 24.0, 24, 1},         {"50i", 25.0, 25, 1},
    {"59.94i", 29.97, 30000, 1001}, {"60i", 30.0, 30, 1},         {"95.9i", 23.98, 24000, 1001},
    {"96i", 23.98, 24000, 1001},    {"100i", 23.98, 24000, 1001}, {"119.9i", 23.98, 24000, 1001},
    {"120i", 23.98, 24000, 1001},   {"180i", 23.98, 24000, 1001}, {"240i", 23.98, 24000, 1001},
    {"360i", 23.98, 24000, 1001},   {"480i", 23.98, 24000, 1001}, {"??i", 23.98, 24000, 1001},
};
constexpr RateRow kProgressiveRows[] = {
    {"23.98", 23.98, 24000, 1001}, {"24", 24.0, 24, 1},         {"25", 25.0, 25, 1},
    {"29.97", 29.97, 30000, 1001}, {"30", 30.0, 30, 1},         {"47.95", 47.95, 48000, 1001},
    {"48", 48.0, 48, 1},           {"50", 50.0, 50, 1},         {"59.94", 59.94, 60000, 1001},
    {"60", 60.0, 60, 1},           {"90", 90.0, 90, 1},         {"120", 23.98, 24000, 1001},
    {"180", 23.98, 24000, 1001},   {"240", 23.98, 24000, 1001}, {"??", 23.98, 24000, 1001},
};

void expectRow(const SRFileInfo &info, const RateRow &row, const std::string &suffix, unsigned index) {
    EXPECT_EQ(info.formatText, std::string(row.text) + suffix + " 1080 4:2:2 10bit SR-HQ")
        << "index " << index;
    EXPECT_DOUBLE_EQ(info.frameRate, row.frameRate) << "index " << index;
    EXPECT_EQ(info.rateNumerator, row.numerator) << "index " << index;
    EXPECT_EQ(info.rateDenominator, row.denominator) << "index " << index;
}

} // namespace

TEST(ClipInfoFormat, DescribesTheWorkedExampleAndItsEditRate) {
    Reply reply;
    reply.setFormat(3, 0, 1, 0, 1, 0, 0);
    const SRFileInfo info = reply.decode();
    EXPECT_EQ(info.formatText, "59.94i 1080 4:2:2 10bit SR-HQ");
    EXPECT_EQ(info.rateNumerator, 30000);
    EXPECT_EQ(info.rateDenominator, 1001);
    EXPECT_DOUBLE_EQ(info.frameRate, 29.97);
    EXPECT_EQ(info.interlaced, 1);
    EXPECT_EQ(info.psf, 0);
    EXPECT_EQ(info.is720, 0);
    EXPECT_EQ(info.sampling, 0);
    EXPECT_EQ(info.bitDepth, 10);
    EXPECT_EQ(info.codec, 0);
    EXPECT_EQ(info.stereo3D, 0);
}

TEST(ClipInfoFormat, MarksPsfAndProgressiveScans) {
    Reply psf;
    psf.setFormat(0, 1, 1, 0, 1, 0, 0);
    const SRFileInfo psfInfo = psf.decode();
    EXPECT_EQ(psfInfo.formatText, "23.98PsF 1080 4:2:2 10bit SR-HQ");
    EXPECT_EQ(psfInfo.interlaced, 0);
    EXPECT_EQ(psfInfo.psf, 1);
    for (uint8_t scan : {2, 255}) {
        Reply progressive;
        progressive.setFormat(0, scan, 1, 0, 1, 0, 0);
        const SRFileInfo info = progressive.decode();
        EXPECT_EQ(info.formatText, "23.98P 1080 4:2:2 10bit SR-HQ") << "scan " << int(scan);
        EXPECT_EQ(info.interlaced, 0);
        EXPECT_EQ(info.psf, 0);
    }
}

TEST(ClipInfoFormat, FollowsBothRateTablesAndTakesTheLastRowAbove13) {
    for (unsigned index = 0; index <= 255; ++index) {
        const size_t row = std::min(index, 14u);
        Reply interlaced;
        interlaced.setFormat(uint8_t(index), 0, 1, 0, 1, 0, 0);
        expectRow(interlaced.decode(), kInterlacedRows[row], "", index);
        Reply psf;
        psf.setFormat(uint8_t(index), 1, 1, 0, 1, 0, 0);
        expectRow(psf.decode(), kProgressiveRows[row], "PsF", index);
    }
    EXPECT_STREQ(interlacedRate(14).text, "??i");
    EXPECT_STREQ(progressiveRate(255).text, "??");
}

TEST(ClipInfoFormat, DescribesEverySizeSamplingDepthCodecAnd3DCode) {
    EXPECT_EQ(formatOf(2, 0, 0, 1, 0, 1, 0), "50i 720 4:4:4 8bit SR-SQ");
    EXPECT_EQ(formatOf(2, 0, 1, 2, 2, 2, 1), "50i 1080 4:4:4 XYZ 3D 12bit SR-Lite");
    EXPECT_EQ(formatOf(2, 0, 1, 0, 3, 0, 0), "50i 1080 4:2:2 16bit SR-HQ");
    EXPECT_EQ(formatOf(2, 0, 1, 3, 4, 3, 2), "50i 1080 ??? ??? SR-???");
    // Size 2 and 3 are unknown yet still describe sampling, 3D and depth; from 4 on these are left out.
    EXPECT_EQ(formatOf(3, 0, 2, 1, 2, 0, 1), "59.94i ???? 4:4:4 3D 12bit SR-HQ");
    EXPECT_EQ(formatOf(3, 0, 3, 0, 0, 2, 0), "59.94i ???? 4:2:2 8bit SR-Lite");
    EXPECT_EQ(formatOf(3, 0, 5, 1, 2, 1, 1), "59.94i ???? SR-SQ");
    EXPECT_EQ(formatOf(3, 0, 4, 0, 1, 0, 0), "59.94i ???? SR-HQ");
}

TEST(ClipInfoFormat, SetsTheNumbersBehindTheTexts) {
    Reply reply;
    reply.setFormat(7, 2, 0, 2, 3, 2, 1);
    SRFileInfo info = reply.decode();
    EXPECT_EQ(info.is720, 1);
    EXPECT_EQ(info.sampling, 2);
    EXPECT_EQ(info.bitDepth, 16);
    EXPECT_EQ(info.codec, 2);
    EXPECT_EQ(info.stereo3D, 1);

    reply.setFormat(7, 2, 1, 9, 9, 9, 2);
    info = reply.decode();
    EXPECT_EQ(info.is720, 0);
    EXPECT_EQ(info.sampling, 0);
    EXPECT_EQ(info.bitDepth, 8);
    EXPECT_EQ(info.codec, 1);
    EXPECT_EQ(info.stereo3D, 0);
}

TEST(ClipInfoFormat, UnknownSizeLeavesTheDetailsZeroButKeepsThe3DFlag) {
    Reply reply;
    reply.setFormat(3, 0, 9, 1, 2, 0, 1);
    const SRFileInfo info = reply.decode();
    EXPECT_EQ(info.is720, 0);
    EXPECT_EQ(info.sampling, 0);
    EXPECT_EQ(info.bitDepth, 0);
    EXPECT_EQ(info.stereo3D, 1);
}

TEST(ClipInfoTexts, PrintsTheStartTimecodeWithACommaForDropFrame) {
    Reply reply;
    reply.setStart(0x10, 0x05, 0x01, 0x00, true);
    SRFileInfo info = reply.decode();
    EXPECT_EQ(info.startText, "00:01:05,10 ");
    EXPECT_EQ(info.startFrame, 1958u);
    EXPECT_EQ(info.dropFrame, 1);

    reply.setStart(0x10, 0x05, 0x01, 0x00, false);
    info = reply.decode();
    EXPECT_EQ(info.startText, "00:01:05:10 ");
    EXPECT_EQ(info.startFrame, 30u * 65 + 10);
    EXPECT_EQ(info.dropFrame, 0);
}

TEST(ClipInfoTexts, MasksTheStartTimecodeFlagBits) {
    Reply reply;
    reply.setStart(0xC9, 0x80 | 0x59, 0x80 | 0x10, 0xC0 | 0x23, false);
    reply.setFormat(2, 0, 1, 0, 1, 0, 0);
    const SRFileInfo info = reply.decode();
    EXPECT_EQ(info.startText, "23:10:59:09 ");
    EXPECT_EQ(info.startFrame, 25u * (23 * 3600 + 10 * 60 + 59) + 9);
}

TEST(ClipInfoTexts, PrintsTheWorkedDurations) {
    Reply reply;
    reply.setStart(0, 0, 0, 0, true);
    reply.setDuration(17982);
    EXPECT_EQ(reply.decode().durationText, "00:10:00,00 ");
    reply.setDuration(1799);
    EXPECT_EQ(reply.decode().durationText, "00:00:59,29 ");

    reply.setStart(0, 0, 0, 0, false);
    reply.setFormat(0, 1, 1, 0, 1, 0, 0);
    reply.setDuration(1800);
    const SRFileInfo info = reply.decode();
    EXPECT_EQ(info.durationText, "00:01:15:00 ");
    EXPECT_EQ(info.durationFrames, 1800u);
}

TEST(ClipInfoTexts, PrintsAndDecodesBothDates) {
    Reply reply;
    const uint8_t date1[8] = {0x42, 0x17, 0x30, 0x09, 0x15, 0x07, 0x12, 0x20};
    const uint8_t date2[8] = {0x99, 0x59, 0x59, 0x23, 0x31, 0x12, 0x99, 0x19};
    std::copy(std::begin(date1), std::end(date1), &reply[143]);
    std::copy(std::begin(date2), std::end(date2), &reply[151]);
    const SRFileInfo info = reply.decode();
    EXPECT_EQ(info.dateText1, "2012/07/15 09:30");
    EXPECT_EQ(info.dateTime1, (SRDateTime{2012, 7, 15, 9, 30, 17, 42}));
    EXPECT_EQ(info.dateText2, "1999/12/31 23:59");
    EXPECT_EQ(info.dateTime2, (SRDateTime{1999, 12, 31, 23, 59, 59, 99}));
}

TEST(ClipInfoTexts, TakesNamesUpToTheirFirstZeroOrTheEndOfTheirField) {
    Reply reply;
    reply.setText(9, "A001C001");
    reply.setText(18, "hidden");
    reply.setText(73, std::string(64, 'R'));
    const SRFileInfo info = reply.decode(QStringLiteral("SRMEDIA/CLIPS"));
    EXPECT_EQ(info.fileName, "A001C001");
    EXPECT_EQ(info.secondName, std::string(64, 'R'));
    EXPECT_EQ(info.sourcePath, QStringLiteral("SRMEDIA/CLIPS"));
}

TEST(ClipInfoRecord, CarriesTheTailUnchangedAndReadsFlagsAsNonZero) {
    Reply reply;
    for (size_t i = 0; i < kRawTailSize; ++i)
        reply[173 + i] = uint8_t(0xA0 + i);
    reply[8] = 0x80;
    reply[159] = 0x40;
    const SRFileInfo info = reply.decode();
    for (size_t i = 0; i < kRawTailSize; ++i)
        EXPECT_EQ(info.rawTail[i], 0xA0 + i) << "tail byte " << i;
    EXPECT_EQ(info.fileValid, 1);
    EXPECT_EQ(info.dropFrame, 1);
    reply[8] = 0;
    EXPECT_EQ(reply.decode().fileValid, 0);
}

TEST(ClipInfoRecord, RejectsAReplyTooShortToHoldByte205) {
    // Exactly sized buffers, so that a read past the end shows under AddressSanitizer.
    for (size_t length : {size_t(0), size_t(4), size_t(172), kFileInfoReplyMinimumLength - 1}) {
        const std::vector<uint8_t> bytes(length, 0x11);
        EXPECT_FALSE(decodeFileInfo(bytes.data(), length, QString()).has_value()) << "length " << length;
    }
    EXPECT_FALSE(decodeFileInfo(nullptr, 0, QString()).has_value());
    std::vector<uint8_t> exact(kFileInfoReplyMinimumLength, 0);
    EXPECT_TRUE(decodeFileInfo(exact.data(), exact.size(), QString()).has_value());
}
