#include "recorder/FileInfoDecoding.h"

#include "bytes/ByteReader.h"
#include "recorder/Bcd.h"
#include "recorder/RateTables.h"
#include "recorder/Timecode.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// Offset of the first decoded byte (the valid flag) and widths of the reply's fields.
constexpr size_t kValidFlagOffset = 8;
constexpr size_t kNameFieldSize = 64;
constexpr size_t kDateTimeSize = 8;

// The codes of reply bytes 165 to 172 (170 unused).
struct FormatCodes {
    uint8_t rateIndex = 0;
    uint8_t scan = 0;
    uint8_t size = 0;
    uint8_t sampling = 0;
    uint8_t bitDepth = 0;
    uint8_t codec = 0;
    uint8_t stereo3D = 0;
};

// Picture size codes below this one still describe sampling, 3D and bit depth.
constexpr uint8_t kSizesWithDetails = 4;

// Text up to the first 00 byte of a fixed-width field.
std::string fieldText(const std::array<uint8_t, kNameFieldSize> &field) {
    const auto end = std::find(field.begin(), field.end(), uint8_t(0));
    return std::string(field.begin(), end);
}

// Four values as "aa:bb:cc:dd " (or "aa:bb:cc,dd " for drop frame), each two digits; hex prints BCD bytes
// as their digits.
std::string timecodeText(bool dropFrame, bool hex, uint32_t hours, uint32_t minutes, uint32_t seconds,
                         uint32_t frames) {
    const char *format = hex ? (dropFrame ? "%02x:%02x:%02x,%02x " : "%02x:%02x:%02x:%02x ")
                             : (dropFrame ? "%02u:%02u:%02u,%02u " : "%02u:%02u:%02u:%02u ");
    char text[48];
    std::snprintf(text, sizeof text, format, hours, minutes, seconds, frames);
    return text;
}

// "CCYY/MM/DD hh:mm" from the BCD digits of a date-time's bytes.
std::string dateText(const std::array<uint8_t, kDateTimeSize> &date) {
    char text[32];
    std::snprintf(text, sizeof text, "%02x%02x/%02x/%02x %02x:%02x", date[7], date[6], date[5], date[4],
                  date[3], date[2]);
    return text;
}

// Sets the format text and the numbers it describes (steps in the recorder's order: rate and scan,
// picture size, sampling, 3D, bit depth, codec).
void decodeFormat(const FormatCodes &codes, SRFileInfo &info) {
    info.interlaced = codes.scan == 0 ? 1 : 0;
    const FrameRateRow &rate =
        info.interlaced ? interlacedRate(codes.rateIndex) : progressiveRate(codes.rateIndex);
    std::string text = rate.text;
    if (!info.interlaced) {
        info.psf = codes.scan == 1 ? 1 : 0;
        text += info.psf ? "PsF" : "P";
    }
    info.frameRate = rate.frameRate;
    info.rateNumerator = rate.numerator;
    info.rateDenominator = rate.denominator;

    switch (codes.size) {
    case 0:
        text += " 720";
        info.is720 = 1;
        break;
    case 1:
        text += " 1080";
        info.is720 = 0;
        break;
    default:
        text += " ????";
    }

    // The 3D flag follows its code whatever the size, so a 3D file of unknown size is still known as 3D.
    info.stereo3D = codes.stereo3D == 1 ? 1 : 0;
    if (codes.size < kSizesWithDetails) {
        static constexpr const char *kSampling[] = {" 4:2:2", " 4:4:4", " 4:4:4 XYZ"};
        if (codes.sampling < 3) {
            text += kSampling[codes.sampling];
            info.sampling = codes.sampling;
        } else {
            text += " ???";
            info.sampling = 0;
        }
        if (info.stereo3D)
            text += " 3D";
        static constexpr struct {
            const char *text;
            int16_t bits;
        } kDepth[] = {{" 8bit", 8}, {" 10bit", 10}, {" 12bit", 12}, {" 16bit", 16}};
        if (codes.bitDepth < 4) {
            text += kDepth[codes.bitDepth].text;
            info.bitDepth = kDepth[codes.bitDepth].bits;
        } else {
            text += " ???";
            info.bitDepth = 8;
        }
    }

    text += " SR";
    static constexpr const char *kCodec[] = {"-HQ", "-SQ", "-Lite"};
    if (codes.codec < 3) {
        text += kCodec[codes.codec];
        info.codec = codes.codec;
    } else {
        text += "-???";
        info.codec = 1;
    }
    info.formatText = std::move(text);
}

} // namespace

std::optional<SRFileInfo> decodeFileInfo(const uint8_t *reply, size_t length, const QString &path) {
    if (length < kFileInfoReplyMinimumLength)
        return std::nullopt;
    ByteReader reader(reply, length);
    uint8_t valid = 0;
    std::array<uint8_t, kNameFieldSize> fileName{};
    std::array<uint8_t, kNameFieldSize> secondName{};
    uint32_t durationFrames = 0;
    std::array<uint8_t, kDateTimeSize> date1{};
    std::array<uint8_t, kDateTimeSize> date2{};
    uint8_t dropFrame = 0;
    std::array<uint8_t, 4> start{}; // frames, seconds, minutes, hours
    FormatCodes codes;
    SRFileInfo info;
    const bool complete =
        reader.seek(kValidFlagOffset) && reader.readU8(valid) &&
        reader.readBytes(fileName.data(), fileName.size()) &&
        reader.readBytes(secondName.data(), secondName.size()) && reader.skip(2) &&
        reader.readU32LE(durationFrames) && reader.readBytes(date1.data(), date1.size()) &&
        reader.readBytes(date2.data(), date2.size()) && reader.readU8(dropFrame) &&
        reader.readBytes(start.data(), start.size()) && reader.skip(1) && reader.readU8(codes.rateIndex) &&
        reader.readU8(codes.scan) && reader.readU8(codes.size) && reader.readU8(codes.sampling) &&
        reader.readU8(codes.bitDepth) && reader.skip(1) && reader.readU8(codes.codec) &&
        reader.readU8(codes.stereo3D) && reader.readBytes(info.rawTail.data(), info.rawTail.size());
    if (!complete)
        return std::nullopt;

    info.sourcePath = path;
    info.fileValid = valid != 0 ? 1 : 0;
    decodeFormat(codes, info);
    info.fileName = fieldText(fileName);
    info.secondName = fieldText(secondName);

    info.dropFrame = dropFrame != 0 ? 1 : 0;
    const uint8_t hours = start[3] & 0x3F;
    const uint8_t minutes = start[2] & 0x7F;
    const uint8_t seconds = start[1] & 0x7F;
    const uint8_t frames = start[0] & 0x3F;
    info.startText = timecodeText(info.dropFrame, true, hours, minutes, seconds, frames);
    const auto fps = uint32_t(info.frameRate + 0.5);
    info.startFrame = timecodeToFrames(fps, info.dropFrame, fromBcd(hours), fromBcd(minutes),
                                       fromBcd(seconds), fromBcd(frames));

    info.durationFrames = durationFrames;
    const Timecode duration = framesToTimecode(durationFrames, fps, info.dropFrame);
    info.durationText = timecodeText(info.dropFrame, false, duration.hours, duration.minutes,
                                     duration.seconds, duration.frames);

    info.dateText1 = dateText(date1);
    info.dateTime1 = decodeSRDateTime(date1);
    info.dateText2 = dateText(date2);
    info.dateTime2 = decodeSRDateTime(date2);
    return info;
}

QString volumeName(const SRFileInfo &clip) {
    QString volume = clip.sourcePath.section(u'/', 0, 0);
    while (!volume.isEmpty() && (volume.back() == QChar(0) || volume.back() == u' '))
        volume.chop(1);
    return volume;
}
