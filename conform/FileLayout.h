#pragma once

// The KLV layout of an MXF file, found by walking its keys and lengths from the first byte to the last
// without reading essence values: the partition packs with the measured spans of their header metadata,
// index tables and essence; the content packages and the elements of every track; the random index pack;
// fill items with a key other than the registered one; items off the KLV alignment grid.
// Every offset and length is checked against the file's size: a file that does not split into KLV items
// ends the walk with a named reason, and what was found before it is kept.

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace conform {

struct PartitionPack {
    uint64_t offset = 0; // of its key in the file
    uint8_t kind = 0, status = 0;
    uint32_t kag = 0;
    uint64_t thisPartition = 0, previousPartition = 0, footerPartition = 0;
    uint64_t headerByteCount = 0, indexByteCount = 0;
    uint32_t indexSid = 0;
    uint64_t bodyOffset = 0;
    uint32_t bodySid = 0;
    // Measured, as file offsets: the primer to the last metadata set and the fill after it; the index table
    // segments with their fill; the essence, from its first item to the next partition pack.
    uint64_t metadataStart = 0, metadataEnd = 0;
    uint64_t indexBytes = 0;
    uint64_t essenceStart = 0, essenceEnd = 0;
    std::vector<std::span<const uint8_t>> indexSegments; // their values
};

struct RandomIndex {
    uint64_t offset = 0, size = 0;                      // of the whole KLV item
    std::vector<std::pair<uint32_t, uint64_t>> entries; // body SID, partition offset
    std::optional<uint32_t> declaredSize;               // its last 4 bytes; none when its value is ragged
    bool last = true;                                   // nothing follows it
};

struct FileLayout {
    std::vector<PartitionPack> partitions;
    std::vector<uint64_t> packageStarts;   // file offset of each content package's first key
    std::map<uint32_t, uint64_t> elements; // elements by track number (key bytes 12 to 15)
    std::optional<RandomIndex> randomIndex;
    uint64_t wrongFills = 0, firstWrongFill = 0;
    uint64_t misaligned = 0, firstMisaligned = 0;
    // Why the walk stopped before the end: the check's name and the detail; empty when it did not.
    QString brokenCheck, brokenDetail;
};

FileLayout walkFile(std::span<const uint8_t> file);

} // namespace conform
