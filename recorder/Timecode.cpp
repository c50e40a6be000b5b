#include "recorder/Timecode.h"

namespace {

// The frame counts of drop-frame timecode at one rate.
struct DropFrameCounts {
    uint64_t dropped;    // D: frame numbers left out at the start of a dropping minute
    uint64_t minute;     // F1: frames in a dropping minute
    uint64_t tenMinutes; // F10: frames in ten minutes
};

DropFrameCounts dropFrameCounts(uint64_t fps) {
    const uint64_t dropped = fps == 60 ? 4 : 2;
    const uint64_t minute = 60 * fps - dropped;
    return {dropped, minute, 60 * fps + 9 * minute};
}

bool countsDropFrame(uint32_t fps, bool dropFrame) {
    return dropFrame && fps > dropFrameCounts(fps).dropped;
}

} // namespace

uint64_t timecodeToFrames(uint32_t fps, bool dropFrame, uint32_t hours, uint32_t minutes, uint32_t seconds,
                          uint32_t frames) {
    const uint64_t rate = fps;
    if (!countsDropFrame(fps, dropFrame))
        return rate * (3600 * uint64_t(hours) + 60 * uint64_t(minutes) + seconds) + frames;

    const DropFrameCounts counts = dropFrameCounts(rate);
    uint64_t total = 6 * counts.tenMinutes * hours + counts.tenMinutes * (minutes / 10);
    const uint32_t unit = minutes % 10;
    if (unit > 0)
        total += 60 * rate + (unit - 1) * counts.minute;
    if (seconds > 0) {
        total += unit != 0 ? (rate - counts.dropped) + (seconds - 1) * rate : seconds * rate;
        total += frames;
    } else if (unit == 0) {
        total += frames;
    } else if (frames >= counts.dropped) {
        total += frames - counts.dropped;
    }
    return total;
}

Timecode framesToTimecode(uint64_t frameCount, uint32_t fps, bool dropFrame) {
    Timecode timecode;
    if (fps == 0)
        return timecode;
    const uint64_t rate = fps;
    if (!countsDropFrame(fps, dropFrame)) {
        const uint64_t n = frameCount % (86400 * rate);
        timecode.hours = uint32_t(n / (3600 * rate));
        timecode.minutes = uint32_t(n % (3600 * rate) / (60 * rate));
        timecode.seconds = uint32_t(n % (60 * rate) / rate);
        timecode.frames = uint32_t(n % rate);
        return timecode;
    }

    const DropFrameCounts counts = dropFrameCounts(rate);
    const uint64_t hour = 6 * counts.tenMinutes;
    const uint64_t n = frameCount % (24 * hour);
    uint64_t rest = n % hour;
    uint64_t minutes = 10 * (rest / counts.tenMinutes);
    rest %= counts.tenMinutes;
    if (rest >= 60 * rate) {
        minutes += 1 + (rest - 60 * rate) / counts.minute;
        rest = (rest - 60 * rate) % counts.minute;
    }
    uint64_t seconds = 0;
    if (minutes % 10 == 0) {
        seconds = rest / rate;
        rest %= rate;
    } else if (rest >= rate - counts.dropped) {
        seconds = (rest - (rate - counts.dropped)) / rate + 1;
        rest = (rest - (rate - counts.dropped)) % rate;
    }
    if (seconds == 0 && minutes % 10 != 0)
        rest += counts.dropped;
    timecode.hours = uint32_t(n / hour);
    timecode.minutes = uint32_t(minutes);
    timecode.seconds = uint32_t(seconds);
    timecode.frames = uint32_t(rest);
    return timecode;
}
