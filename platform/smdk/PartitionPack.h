#pragma once

// Partition packs (SMPTE 377M), the primer pack and the Random Index Pack. Every pack is written with a
// 4-byte BER length, so a partition pack's FooterPartition field begins 44 bytes after its key.
// Offsets are counted from the first byte of the header partition pack.

#include "mxf/SMDKWriter.h"
#include "platform/smdk/Labels.h"

#include <cstdint>
#include <vector>

// The library's description of one partition pack. The writer fills in thisPartition and
// previousPartition (and footerPartition of the footer) from where it writes the pack.
struct MXFPartitionDescription {
    uint8_t kind = smdk::keys::bodyPartition;
    uint8_t status = smdk::keys::closedComplete;
    uint64_t thisPartition = 0;
    uint64_t previousPartition = 0;
    uint64_t footerPartition = 0;
    uint64_t headerByteCount = 0;
    uint64_t indexByteCount = 0;
    uint32_t indexSid = 0;
    uint64_t bodyOffset = 0;
    uint32_t bodySid = 0;
    std::vector<smdk::UL> essenceContainers;
};

namespace smdk {

inline constexpr uint16_t majorVersion = 1;
inline constexpr uint16_t minorVersion = 3;
// No alignment of KLV items.
inline constexpr uint32_t kagSize = 1;
// Where a pack's FooterPartition field begins, counted from its key: key 16, length 4, versions 4, KAGSize 4,
// ThisPartition 8, PreviousPartition 8.
inline constexpr uint64_t footerPartitionFieldOffset = 44;

void appendPartitionPack(std::vector<uint8_t> &out, const MXFPartitionDescription &pack);
// The primer pack: every local tag the writer uses and its universal label; those of user comments only
// `withUserComments`.
void appendPrimerPack(std::vector<uint8_t> &out, bool withUserComments);
// Random Index Pack: body SID and offset of every partition pack, then the pack's own length.
void appendRandomIndexPack(std::vector<uint8_t> &out, const std::vector<MXFPartitionEntry> &partitions);

} // namespace smdk
