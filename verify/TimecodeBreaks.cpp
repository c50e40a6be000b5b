#include "verify/TimecodeBreaks.h"

#include "recorder/Bcd.h"
#include "recorder/Timecode.h"

namespace {

uint64_t frameCount(uint32_t code, uint32_t fps, bool dropFrame) {
    return timecodeToFrames(fps, dropFrame, fromBcd(uint8_t(code >> 24)), fromBcd(uint8_t(code >> 16)),
                            fromBcd(uint8_t(code >> 8)), fromBcd(uint8_t(code)));
}

QString text(const Timecode &timecode, bool dropFrame) {
    return QString("%1:%2:%3%4%5")
        .arg(timecode.hours, 2, 10, QChar('0'))
        .arg(timecode.minutes, 2, 10, QChar('0'))
        .arg(timecode.seconds, 2, 10, QChar('0'))
        .arg(dropFrame ? ';' : ':')
        .arg(timecode.frames, 2, 10, QChar('0'));
}

} // namespace

QString timecodeText(uint32_t code, bool dropFrame) {
    return text(Timecode{fromBcd(uint8_t(code >> 24)), fromBcd(uint8_t(code >> 16)),
                         fromBcd(uint8_t(code >> 8)), fromBcd(uint8_t(code))},
                dropFrame);
}

std::vector<TimecodeBreak> timecodeBreaks(const std::vector<uint32_t> &codes, uint32_t fps, bool dropFrame) {
    std::vector<TimecodeBreak> breaks;
    for (size_t i = 1; i < codes.size(); ++i) {
        const Timecode expected =
            framesToTimecode(frameCount(codes[i - 1], fps, dropFrame) + 1, fps, dropFrame);
        const QString found = timecodeText(codes[i], dropFrame);
        if (text(expected, dropFrame) != found)
            breaks.push_back({i, text(expected, dropFrame), found});
    }
    return breaks;
}
