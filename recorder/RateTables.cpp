#include "recorder/RateTables.h"

#include <algorithm>
#include <array>

namespace {

// Rows 0 to 13, then the row for every code above 13.
constexpr std::array<FrameRateRow, kLastRateIndex + 2> kInterlaced{{
    {"47.95i", 23.98, 24000, 1001},
    {"48i", 24.0, 24, 1},
    {"50i", 25.0, 25, 1},
    {"59.94i", 29.97, 30000, 1001},
    {"60i", 30.0, 30, 1},
    {"95.9i", 23.98, 24000, 1001},
    {"96i", 23.98, 24000, 1001},
    {"100i", 23.98, 24000, 1001},
    {"119.9i", 23.98, 24000, 1001},
    {"120i", 23.98, 24000, 1001},
    {"180i", 23.98, 24000, 1001},
    {"240i", 23.98, 24000, 1001},
    {"360i", 23.98, 24000, 1001},
    {"480i", 23.98, 24000, 1001},
    {"??i", 23.98, 24000, 1001},
}};

constexpr std::array<FrameRateRow, kLastRateIndex + 2> kProgressive{{
    {"23.98", 23.98, 24000, 1001},
    {"24", 24.0, 24, 1},
    {"25", 25.0, 25, 1},
    {"29.97", 29.97, 30000, 1001},
    {"30", 30.0, 30, 1},
    {"47.95", 47.95, 48000, 1001},
    {"48", 48.0, 48, 1},
    {"50", 50.0, 50, 1},
    {"59.94", 59.94, 60000, 1001},
    {"60", 60.0, 60, 1},
    {"90", 90.0, 90, 1},
    {"120", 23.98, 24000, 1001},
    {"180", 23.98, 24000, 1001},
    {"240", 23.98, 24000, 1001},
    {"??", 23.98, 24000, 1001},
}};

size_t row(uint8_t index) {
    return std::min<size_t>(index, kLastRateIndex + 1);
}

} // namespace

const FrameRateRow &interlacedRate(uint8_t index) {
    return kInterlaced[row(index)];
}
const FrameRateRow &progressiveRate(uint8_t index) {
    return kProgressive[row(index)];
}
