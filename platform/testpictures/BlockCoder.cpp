#include "platform/testpictures/BlockCoder.h"

#include "platform/testpictures/StudioTables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace studio {

namespace {

using Coefficients = std::array<double, 64>;
using Levels = std::array<int, 64>;

constexpr int kMaxShrinkSteps = 12;
constexpr int kLargestLevel = (1 << (kEscapeBits - 1)) - 1;

// basis[u][x]: the orthonormal DCT basis, C(u)/2 cos((2x + 1) u pi / 16).
const std::array<std::array<double, 8>, 8> &basis() {
    static const auto table = [] {
        std::array<std::array<double, 8>, 8> b{};
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x)
                b[u][x] = (u == 0 ? std::numbers::sqrt2 / 4 : 0.5) *
                          std::cos((2 * x + 1) * u * std::numbers::pi / 16);
        return b;
    }();
    return table;
}

// The orthonormal 2-D DCT, F(0,0) = 8 x mean; raster order, row = vertical frequency.
Coefficients forwardDct(const BlockSamples &samples) {
    const auto &b = basis();
    Coefficients rows{};
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int x = 0; x < 8; ++x)
                sum += b[u][x] * samples[y * 8 + x];
            rows[y * 8 + u] = sum;
        }
    Coefficients out{};
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y)
                sum += b[v][y] * rows[y * 8 + u];
            out[v * 8 + u] = sum;
        }
    return out;
}

// The largest sample of the inverse DCT.
double inverseMaximum(const Coefficients &coefficients) {
    const auto &b = basis();
    Coefficients columns{};
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int v = 0; v < 8; ++v)
                sum += b[v][y] * coefficients[v * 8 + u];
            columns[y * 8 + u] = sum;
        }
    double high = -1e9;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int u = 0; u < 8; ++u)
                sum += b[u][x] * columns[y * 8 + u];
            high = std::max(high, sum);
        }
    return high;
}

// Whether the block the decoder rebuilds from dc and levels stays at or below kHighestSample. The decoder
// scales a level to trunc(level x W x scale / 2) at eight times the orthonormal coefficient.
bool staysBelowCeiling(int dc, const Levels &levels, int scale) {
    Coefficients rebuilt{};
    double bound = 0; // no AC basis function exceeds 1/4 in magnitude
    for (int j = 1; j < 64; ++j) {
        rebuilt[j] = double(levels[j] * kDefaultIntraMatrix[j] * scale / 2) / 8;
        bound += std::abs(rebuilt[j]) / 4;
    }
    if (dc + bound <= kHighestSample)
        return true;
    rebuilt[0] = 8.0 * dc;
    return inverseMaximum(rebuilt) <= kHighestSample;
}

void putVlc(BitWriter &out, const Vlc &vlc) {
    out.put(vlc.bits, vlc.length);
}

// A signed value in `size` bits, negative ones as value + 2^size - 1 (their first bit is then 0).
void putSigned(BitWriter &out, int value, int size) {
    out.put(uint32_t(value > 0 ? value : value + (1 << size) - 1), size);
}

// Codes a level with no zero run before it from `table`; returns the table of the next group.
int putLevel(BitWriter &out, int table, int level) {
    const int magnitude = std::abs(level);
    if (magnitude > 255) {
        putVlc(out, kAcCodes[table][kGroupEscape]);
        out.put(uint32_t(level), kEscapeBits);
        return kEscapeTable;
    }
    const int size = std::bit_width(unsigned(magnitude));
    const int group = kGroupFirstLevel - 1 + size;
    putVlc(out, kAcCodes[table][group]);
    putSigned(out, level, size);
    return group - 10;
}

void putAc(BitWriter &out, const Levels &levels) {
    int table = 0;
    int run = 0;
    for (int scan = 1; scan < 64; ++scan) {
        const int level = levels[kZigzag[scan]];
        if (level == 0) {
            ++run;
            continue;
        }
        const int runBits = std::bit_width(unsigned(run));
        if (run == 0) {
            table = putLevel(out, table, level);
        } else if (level == 1 || level == -1) {
            putVlc(out, kAcCodes[table][kGroupFirstRunOfOne - 1 + runBits]);
            out.put(uint32_t(run - (1 << (runBits - 1))) << 1 | (level > 0 ? 1u : 0u), runBits);
            table = kRunOfOneTable;
        } else {
            putVlc(out, kAcCodes[table][kGroupFirstRun - 1 + runBits]);
            out.put(uint32_t(run - (1 << (runBits - 1))), runBits - 1);
            table = putLevel(out, kLevelTable, level);
        }
        run = 0;
    }
    putVlc(out, kAcCodes[table][kGroupEndOfBlock]);
}

void putDc(BitWriter &out, int component, int difference) {
    const int size = std::bit_width(unsigned(std::abs(difference)));
    putVlc(out, component == 0 ? kLumaDcSize[size] : kChromaDcSize[size]);
    if (size > 0)
        putSigned(out, difference, size);
    if (size > 8)
        out.put(1, 1); // marker bit
}

} // namespace

void codeBlock(const BlockSamples &samples, int component, int quantiserCode, bool dcOnly,
               DcPredictors &predictors, BitWriter &out) {
    int sum = 0;
    for (const uint16_t sample : samples)
        sum += sample;
    const int dc = (sum + 32) >> 6;
    putDc(out, component, dc - predictors.value[component]);
    predictors.value[component] = dc;

    const bool flat =
        std::all_of(samples.begin(), samples.end(), [&](uint16_t s) { return s == samples[0]; });
    if (dcOnly || flat) {
        putVlc(out, kAcCodes[0][kGroupEndOfBlock]);
        return;
    }
    const int scale = 2 * quantiserCode;
    const Coefficients coefficients = forwardDct(samples);
    Levels levels{};
    for (int j = 1; j < 64; ++j)
        levels[j] = std::clamp(int(std::lround(16 * coefficients[j] / (kDefaultIntraMatrix[j] * scale))),
                               -kLargestLevel, kLargestLevel);
    for (int step = 0; !staysBelowCeiling(dc, levels, scale); ++step) {
        if (step == kMaxShrinkSteps) {
            levels.fill(0);
            break;
        }
        for (int &level : levels)
            level = level * 4 / 5;
    }
    putAc(out, levels);
}

} // namespace studio
