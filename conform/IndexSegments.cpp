#include "conform/IndexSegments.h"

#include "bytes/ByteReader.h"
#include "conform/LocalItems.h"
#include "conform/MxfKeys.h"

namespace conform {

namespace {

// Temporal offset, key frame offset, flags and the stream offset; then 4 bytes per slice and 8 per
// position table entry.
constexpr uint32_t kEntryFixedBytes = 11, kSliceOffsetBytes = 4, kPosTableBytes = 8;
constexpr size_t kStreamOffsetAt = 3;

} // namespace

uint64_t IndexSegment::streamOffset(uint64_t i) const {
    if (editUnitByteCount != 0)
        return (start + i) * editUnitByteCount;
    ByteReader reader(entries);
    uint64_t offset = 0;
    reader.seek(size_t(i * entrySize + kStreamOffsetAt));
    reader.readU64BE(offset);
    return offset;
}

std::optional<IndexSegment> readIndexSegment(std::span<const uint8_t> value, QString &problem) {
    const std::optional<LocalItems> items = readLocalItems(value);
    if (!items) {
        problem = "its items do not fit its length";
        return std::nullopt;
    }
    IndexSegment segment;
    const auto start = itemNumber(*items, tags::kIndexStartPosition, 8);
    const auto duration = itemNumber(*items, tags::kIndexDuration, 8);
    const auto unitBytes = itemNumber(*items, tags::kEditUnitByteCount, 4);
    const auto indexSid = itemNumber(*items, tags::kIndexSid, 4);
    const auto bodySid = itemNumber(*items, tags::kBodySid, 4);
    if (!start || !duration || !unitBytes || !indexSid || !bodySid || int64_t(*start) < 0 ||
        int64_t(*duration) < 0) {
        problem = "it lacks its start, duration, edit unit size or stream IDs";
        return std::nullopt;
    }
    segment.start = *start;
    segment.duration = *duration;
    segment.editUnitByteCount = uint32_t(*unitBytes);
    segment.indexSid = uint32_t(*indexSid);
    segment.bodySid = uint32_t(*bodySid);
    if (segment.editUnitByteCount != 0)
        return segment;
    const uint64_t slices = itemNumber(*items, tags::kSliceCount, 1).value_or(0);
    const uint64_t posTables = itemNumber(*items, tags::kPosTableCount, 1).value_or(0);
    const auto array = items->find(tags::kIndexEntryArray);
    ByteReader reader(array == items->end() ? std::span<const uint8_t>() : array->second);
    uint32_t count = 0, size = 0;
    if (!reader.readU32BE(count) || !reader.readU32BE(size) ||
        size != kEntryFixedBytes + kSliceOffsetBytes * slices + kPosTableBytes * posTables ||
        uint64_t(count) * size != reader.remaining() || count != segment.duration) {
        problem =
            QString("its index entries do not match its duration of %1 edit units").arg(segment.duration);
        return std::nullopt;
    }
    segment.entrySize = size;
    reader.readView(reader.remaining(), segment.entries);
    return segment;
}

} // namespace conform
