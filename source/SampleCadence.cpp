#include "source/SampleCadence.h"

#include "mxf/Assertion.h"
#include "recorder/SoundFormat.h"

namespace {

using Wide = __int128;

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
        samplingRate = SMDKRational{kSoundSamplingRate, 1};
    // Samples per edit unit = a / b; h rounds the cumulative counts to the nearest sample. The rates come
    // from the recorder, so a and b may use all of their 63 bits: the cumulative counts are taken in
    // 128 bits, where a 64-bit position times a cannot overflow.
    const Wide a = Wide(samplingRate.numerator) * editRate.denominator;
    const Wide b = Wide(samplingRate.denominator) * editRate.numerator;
    const Wide h = b / 2;
    const Wide samples = ((Wide(position) + 1) * a + h) / b - (Wide(position) * a + h) / b;
    return uint16_t(samples);
}
