#pragma once

// Sizes of a clip's essence as the recorder plays it out: the picture bytes of one frame, the clip's edit
// rate, and the 48 kHz sound samples up to a frame (the rounded cumulative cadence from the first frame).

#include "platform/srmodule/ClipRecord.h"

#include <cstdint>

// Sound sampling rate of every clip.
inline constexpr uint32_t kSoundSampleRate = 48000;
// Bytes of one sound sample: 24-bit little-endian.
inline constexpr uint32_t kSoundSampleBytes = 3;
// The most sound channels a clip carries in the play-out.
inline constexpr uint32_t kMaxSoundChannels = 16;

struct EditRate {
    uint32_t numerator = 24000;
    uint32_t denominator = 1001;
};

// Picture bytes per frame: 937,500 for codec 2 (Lite), 1,875,000 otherwise.
uint32_t pictureFrameBytes(const ClipRecord &clip);

// The edit rate the clip's rate index and scan code stand for; unknown codes give 24000/1001.
EditRate clipEditRate(const ClipRecord &clip);

// Samples per channel in the clip's first frames frames: round(frames x 48000 / rate).
uint64_t soundSamplesBefore(const ClipRecord &clip, uint64_t frames);
