#pragma once

// Timecode maths: a timecode to its frame count and back, at an integer frame rate (24 for 23.98,
// 30 for 29.97, ...), with or without drop-frame counting.
//
// Drop frame: a minute whose number is not a multiple of ten leaves out the frame numbers 0 to D - 1 of
// its second 0, D being 4 at 60 frames per second and 2 at every other rate. Rates too low to leave
// frames out (fps <= D) count without drop frame.

#include <cstdint>

struct Timecode {
    uint32_t hours = 0;
    uint32_t minutes = 0;
    uint32_t seconds = 0;
    uint32_t frames = 0;

    friend bool operator==(const Timecode &, const Timecode &) = default;
};

// Frames from 00:00:00:00 to the timecode. Values are not checked; a drop-frame timecode naming a left-out
// frame counts as the first frame after it.
uint64_t timecodeToFrames(uint32_t fps, bool dropFrame, uint32_t hours, uint32_t minutes, uint32_t seconds,
                          uint32_t frames);

// The timecode of frame number frameCount; hours wrap at 24. 00:00:00:00 at fps 0.
Timecode framesToTimecode(uint64_t frameCount, uint32_t fps, bool dropFrame);
