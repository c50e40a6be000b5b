#pragma once

// The recorder's sound, the same for every clip: 48 kHz, 24 bits a sample, carried as three bytes.

#include <cstdint>

inline constexpr int32_t kSoundSamplingRate = 48'000;
inline constexpr int32_t kSoundBitsPerSample = 24;
