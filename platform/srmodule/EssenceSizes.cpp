#include "platform/srmodule/EssenceSizes.h"

#include <array>

namespace {

constexpr uint32_t kFullFrameBytes = 1875000;
constexpr uint32_t kLiteFrameBytes = 937500;
constexpr uint8_t kCodecLite = 2;

constexpr EditRate kDefaultRate{24000, 1001};
// Rows by rate index, for interlaced (scan 0) and for PsF or progressive clips.
constexpr std::array<EditRate, 5> kInterlacedRates{{{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}}};
constexpr std::array<EditRate, 11> kProgressiveRates{{{24000, 1001},
                                                      {24, 1},
                                                      {25, 1},
                                                      {30000, 1001},
                                                      {30, 1},
                                                      {48000, 1001},
                                                      {48, 1},
                                                      {50, 1},
                                                      {60000, 1001},
                                                      {60, 1},
                                                      {90, 1}}};

} // namespace

uint32_t pictureFrameBytes(const ClipRecord &clip) {
    return clip.codec == kCodecLite ? kLiteFrameBytes : kFullFrameBytes;
}

EditRate clipEditRate(const ClipRecord &clip) {
    if (clip.scan == 0)
        return clip.rateIndex < kInterlacedRates.size() ? kInterlacedRates[clip.rateIndex] : kDefaultRate;
    return clip.rateIndex < kProgressiveRates.size() ? kProgressiveRates[clip.rateIndex] : kDefaultRate;
}

uint64_t soundSamplesBefore(const ClipRecord &clip, uint64_t frames) {
    const EditRate rate = clipEditRate(clip);
    // frames x 48000 x den / num, rounded half up; fits 64 bits for any 32-bit frame count.
    const uint64_t scaled = frames * kSoundSampleRate * rate.denominator;
    return (2 * scaled + rate.numerator) / (2 * uint64_t(rate.numerator));
}
