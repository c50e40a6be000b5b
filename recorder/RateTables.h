#pragma once

// The recorder's frame-rate tables, indexed by the rate code of the file-information reply. The
// interlaced table applies to scan code 0, the progressive table to every other scan code. Codes above
// the last row (13) take the last row, whose text is "??i" or "??".

#include <cstdint>

struct FrameRateRow {
    const char *text; // e.g. "59.94i", "23.98"
    double frameRate; // decimal as the recorder gives it: 23.98, not 24000/1001
    int32_t numerator;
    int32_t denominator;
};

inline constexpr uint8_t kLastRateIndex = 13;

const FrameRateRow &interlacedRate(uint8_t index);
const FrameRateRow &progressiveRate(uint8_t index);
