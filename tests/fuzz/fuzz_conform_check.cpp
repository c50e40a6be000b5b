// Arbitrary bytes as an MXF file: the conformance check must end in named failures (or none), never read
// past the bytes, crash or hold more than the bytes' own structures.

#include "conform/Conformance.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const conform::ExpectedEssence expected{.width = 1920,
                                            .height = 540,
                                            .frameLayout = 1,
                                            .rateNumerator = 30000,
                                            .rateDenominator = 1001,
                                            .horizontalSubsampling = 2,
                                            .componentDepth = 10,
                                            .soundChannels = 2,
                                            .soundSamplingRate = 48000,
                                            .soundBits = 24};
    const conform::ConformanceResult result = conform::checkConformance({data, size}, expected);
    for (const conform::ConformanceFailure &failure : result.failures)
        if (failure.check.isEmpty() || failure.detail.isEmpty())
            std::abort();
    return 0;
}
