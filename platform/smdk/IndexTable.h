#pragma once

// Index table segments (SMPTE 377M) of a VBR index: one entry per edit unit giving the stream offset of its
// content package. Long indexes are split into segments of consecutive edit units, each small enough for
// the 65,535-byte item length of its entry array.

#include "mxf/SMDKTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace smdk {

inline constexpr uint32_t indexEntrySize = 11;
inline constexpr size_t maximumEntriesPerSegment = (0xFFFF - 8) / indexEntrySize;
// Flags of every entry: each content package holds one whole intra-coded frame, a random access point.
inline constexpr uint8_t randomAccessFlag = 0x80;

// Appends the segments indexing `streamOffsets` (edit unit i at streamOffsets[i], counted from the start of
// the essence stream `bodySid`); nothing when there are no edit units.
void appendIndexTable(std::vector<uint8_t> &out, SMDKRational editRate,
                      const std::vector<uint64_t> &streamOffsets, uint32_t indexSid, uint32_t bodySid);

} // namespace smdk
