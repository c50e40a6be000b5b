#pragma once

// Per-frame checksums of the essence a transfer hands to the MXF library: one 64-bit XXH3 of the picture,
// of each sound channel's samples, of the data element and of the time code's user date/time stamp, as the
// file is to hold them. A re-read of the
// file computes the same from the file's elements, so the two agree exactly when the file holds what the
// recorder played.

#include "mxf/SMDKReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The checksums' name, as the report gives it.
inline constexpr char kFrameChecksumAlgorithm[] = "XXH3-64";

struct FrameChecksum {
    uint64_t picture = 0;
    std::vector<uint64_t> sound; // by channel
    uint64_t data = 0;           // of the data element: the data item, or kEmptyDataElement without one
    // Of the system item's user date/time stamp, the frame's time code. Not in the report: a check against a
    // report compares the essence only.
    std::optional<uint64_t> timeStamp;
    bool operator==(const FrameChecksum &) const = default;
};

uint64_t checksumOf(std::span<const uint8_t> bytes);
// The checksums of an edit unit read back from a file.
FrameChecksum checksumOf(const SMDKEditUnit &unit);
