#pragma once

// What a file's essence descriptors must say, from the clip's information: the stored picture size and
// frame layout, the edit rate, the chroma sampling and bit depth, the sound channels and their format.
// Taken from the clip record (at the transfer) or from the clip in the file's report, NAME.json beside it
// (when the file is checked later).

#include "recorder/SRFileInfo.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace conform {

struct ExpectedEssence {
    uint32_t width = 0, height = 0; // stored: one field of an interlaced picture
    uint8_t frameLayout = 0;        // 0 full frame, 1 separate fields
    int32_t rateNumerator = 0, rateDenominator = 0;
    uint32_t horizontalSubsampling = 0; // 2 for 4:2:2, 1 for 4:4:4
    uint32_t componentDepth = 0;
    uint32_t soundChannels = 0;
    int32_t soundSamplingRate = 0;
    uint32_t soundBits = 0;
};

ExpectedEssence expectedEssenceOf(const SRFileInfo &clip);

// From the report beside `mxfPath`; nothing, with the reason in `why`, when there is none or its clip lacks
// a field the descriptors are compared with.
std::optional<ExpectedEssence> expectedEssenceFromReport(const QString &mxfPath, QString &why);

} // namespace conform
