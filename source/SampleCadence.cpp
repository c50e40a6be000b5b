#include "source/SampleCadence.h"

#include "mxf/Assertion.h"

namespace {

constexpr SMDKRational defaultSamplingRate{48000, 1};

// Both denominators zero, or both non-zero with equal cross products.
bool sameRational(SMDKRational a, SMDKRational b) {
    if (a.denominator == 0 || b.denominator == 0)
        return a.denominator == 0 && b.denominator == 0;
    return int64_t(a.numerator) * b.denominator == int64_t(b.numerator) * a.denominator;
}

} // namespace

uint16_t soundSamplesInEditUnit(int64_t position, SMDKRational editRate, SMDKRational samplingRate) {
    util::require(editRate.numerator != 0, "valid edit rate");
    if (sameRational(samplingRate, SMDKRational{0, 1}) || samplingRate.denominator == 0)
        samplingRate = defaultSamplingRate;
    // Samples per edit unit = a / b; h rounds the cumulative counts to the nearest sample.
    const int64_t a = int64_t(samplingRate.numerator) * editRate.denominator;
    const int64_t b = int64_t(samplingRate.denominator) * editRate.numerator;
    const int64_t h = b / 2;
    const int64_t samples = ((position + 1) * a + h) / b - (position * a + h) / b;
    return uint16_t(samples);
}
