#include "capture/PlayoutChecks.h"

#include "recorder/Bcd.h"
#include "recorder/Timecode.h"
#include "verify/TimecodeBreaks.h"

namespace {

// The bits of each lead-in time code byte that hold digits, as the clip information decodes its start.
constexpr uint8_t kHoursMask = 0x3F, kMinutesMask = 0x7F, kSecondsMask = 0x7F, kFramesMask = 0x3F;

uint32_t bcd(uint32_t value) {
    return (value / 10) << 4 | value % 10;
}

} // namespace

std::optional<QString> otherClipPlayed(const SRFileInfo &clip, uint32_t firstTimeCode) {
    const auto fps = uint32_t(clip.frameRate + 0.5);
    const bool drop = clip.dropFrame != 0;
    const uint64_t first = timecodeToFrames(fps, drop, fromBcd(uint8_t(firstTimeCode >> 24) & kHoursMask),
                                            fromBcd(uint8_t(firstTimeCode >> 16) & kMinutesMask),
                                            fromBcd(uint8_t(firstTimeCode >> 8) & kSecondsMask),
                                            fromBcd(uint8_t(firstTimeCode) & kFramesMask));
    if (first == clip.startFrame)
        return std::nullopt;
    const Timecode start = framesToTimecode(clip.startFrame, fps, drop);
    const uint32_t startCode =
        bcd(start.hours) << 24 | bcd(start.minutes) << 16 | bcd(start.seconds) << 8 | bcd(start.frames);
    return QString("the recorder played another clip: its first frame is %1, %2 starts at %3")
        .arg(timecodeText(firstTimeCode, drop), QString::fromStdString(clip.fileName),
             timecodeText(startCode, drop));
}

QString wrongPictureText(const SRFileInfo &clip, const WrongPicture &picture, uint32_t frameBytes) {
    return QString("picture of frame %1 (%2) has %3 bytes, %4 expected")
        .arg(picture.frame)
        .arg(timecodeText(picture.timeCode, clip.dropFrame != 0))
        .arg(picture.length)
        .arg(frameBytes);
}
