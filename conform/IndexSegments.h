#pragma once

// Index table segments (377): which edit units each covers and where each edit unit starts in its essence
// stream, from a constant edit unit size or from the segment's index entries.

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace conform {

struct IndexSegment {
    uint64_t start = 0, duration = 0; // edit units
    uint32_t editUnitByteCount = 0;   // 0: the entries give the offsets
    uint32_t indexSid = 0, bodySid = 0;
    uint32_t entrySize = 0;
    std::span<const uint8_t> entries; // duration entries of entrySize bytes when editUnitByteCount is 0

    // The essence stream offset of edit unit `start + i`, i < duration.
    uint64_t streamOffset(uint64_t i) const;
};

// The segment whose local set value is `value`; nothing, with the reason in `problem`, when it lacks an item
// a reader needs or its entries do not fit what it declares.
std::optional<IndexSegment> readIndexSegment(std::span<const uint8_t> value, QString &problem);

} // namespace conform
