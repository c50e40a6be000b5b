#include "capture/FrameIndex.h"

#include "bytes/ByteReader.h"
#include "capture/PayloadFormat.h"
#include "capture/SimdLevel.h"
#include "card/CWyrnCard.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

using payload::kPictureKey;

// The first of the positions [from, to) where the picture key begins, or null. The key's 16 bytes from
// every position tried must be readable.
const uint8_t *findPictureKeyPortable(const uint8_t *from, const uint8_t *to) {
    const uint8_t *candidate = from;
    while (candidate < to) {
        candidate =
            static_cast<const uint8_t *>(std::memchr(candidate, kPictureKey[0], size_t(to - candidate)));
        if (candidate == nullptr)
            return nullptr;
        if (std::memcmp(candidate, kPictureKey.data(), kPictureKey.size()) == 0)
            return candidate;
        ++candidate;
    }
    return nullptr;
}

#if defined(__x86_64__) || defined(__i386__)
// Positions of the 32 from at where the key's first two bytes lie, as 0xFF bytes.
__attribute__((target("avx2"))) __m256i keyStartsAt(const uint8_t *at) {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(here, _mm256_set1_epi8(char(kPictureKey[0]))),
                            _mm256_cmpeq_epi8(next, _mm256_set1_epi8(char(kPictureKey[1]))));
}

// Tests 64 positions at a time for the key's first two bytes, then the whole key where both match.
__attribute__((target("avx2"))) const uint8_t *findPictureKeyAvx2(const uint8_t *from, const uint8_t *to) {
    const uint8_t *group = from;
    // Reads 65 bytes from group, all inside the key of the last position tried.
    for (; to - group > 64; group += 64) {
        const __m256i low = keyStartsAt(group);
        const __m256i high = keyStartsAt(group + 32);
        if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)))
            continue;
        uint64_t matches = uint64_t(uint32_t(_mm256_movemask_epi8(low))) |
                           uint64_t(uint32_t(_mm256_movemask_epi8(high))) << 32;
        for (; matches != 0; matches &= matches - 1) {
            const uint8_t *candidate = group + __builtin_ctzll(matches);
            if (std::memcmp(candidate, kPictureKey.data(), kPictureKey.size()) == 0)
                return candidate;
        }
    }
    return findPictureKeyPortable(group, to);
}
#endif

const uint8_t *findPictureKey(const uint8_t *from, const uint8_t *to) {
#if defined(__x86_64__) || defined(__i386__)
    if (simd::level() >= simd::Level::Avx2)
        return findPictureKeyAvx2(from, to);
#endif
    return findPictureKeyPortable(from, to);
}

// Walks the picture regions of one block into a record. Positions are 64-bit so that no sum of
// untrusted 32-bit fields can wrap.
class PictureWalk {
public:
    PictureWalk(FrameIndex &record, ByteReader block, uint32_t quality)
        : record(record), block(block), trailer(payload::trailerBytes(quality)) {}

    void region(const payload::IndexEntry &entry) {
        const int64_t p = entry.offset;
        const int64_t r = entry.size;
        if (p >= blockSize())
            return;
        int64_t d = p;
        if (entry.value == 0) {
            if (const int64_t key = findKey(p, r); key >= int64_t(payload::kPictureKeyOffset))
                t = key - payload::kPictureKeyOffset;
            if (!append(nullptr, nullptr, p, std::max<int64_t>(0, t - p - trailer),
                        VideoElement::kContinuation))
                return;
            d = t;
        }
        // An element never starts before its region.
        while (d >= p && d < blockSize() && d - p < r) {
            if (!hasKeyAt(d + payload::kPictureKeyOffset)) {
                odprintf("Invalid frame at offset, no video key");
                break;
            }
            uint32_t length = 0;
            ByteReader reader = block;
            if (!reader.seek(size_t(d + payload::kPictureLengthOffset)) || !reader.readU24BE(length)) {
                odprintf("Invalid frame at offset, no video key");
                break;
            }
            if (!append(at(d), at(d + payload::kPictureKeyOffset), d + payload::kPictureHeaderBytes, length,
                        VideoElement::kComplete))
                break;
            VideoElement &element = record.pictures[record.pictureCount - 1];
            d += int64_t(payload::kPictureHeaderBytes) + length + trailer;
            t = d;
            if (d - p > r) {
                // Runs on into the next block: measured to the block's end, not the region's.
                element.length = int32_t(blockSize() - (d - length - trailer));
                element.kind = VideoElement::kCut;
            }
        }
        const uint32_t count = record.pictureCount;
        if (count > 2 && record.pictures[count - 1].length < record.pictures[count - 2].length)
            record.pictures[count - 1].kind = VideoElement::kCut;
    }

private:
    int64_t blockSize() const { return int64_t(block.size()); }
    const uint8_t *at(int64_t position) const { return block.data() + position; }

    bool hasKeyAt(int64_t position) const {
        ByteReader reader = block;
        return position >= 0 && reader.seek(size_t(position)) && reader.startsWith(payload::kPictureKey);
    }

    // The first position j from p on, while j < r - 4 (a block position against a region length, as the
    // recorder's format has it), where the picture key lies; -1 when there is none. r below 4 finds none.
    int64_t findKey(int64_t p, int64_t r) const {
        const int64_t keyBytes = int64_t(payload::kPictureKey.size());
        const int64_t end = std::min(r - 4, blockSize() - keyBytes + 1); // first start position not tried
        if (p >= end)
            return -1;
        const uint8_t *found = findPictureKey(at(p), at(end));
        return found == nullptr ? -1 : found - block.data();
    }

    // Appends an element whose picture data starts at payloadAt with length bytes; an element that runs
    // past the block's end is cut there. False (nothing appended) once the record is full.
    bool append(const uint8_t *start, const uint8_t *key, int64_t payloadAt, int64_t length, uint32_t kind) {
        if (record.pictureCount >= payload::kMaxPictureElements)
            return false;
        VideoElement &element = record.pictures[record.pictureCount++];
        element.start = start;
        element.key = key;
        element.payload = at(payloadAt);
        const int64_t room = blockSize() - payloadAt;
        element.length = int32_t(std::min(length, room));
        element.kind = length > room ? uint32_t(VideoElement::kCut) : kind;
        return true;
    }

    FrameIndex &record;
    ByteReader block;
    int64_t trailer;
    int64_t t = 0; // where the last walked element ended; runs on across regions
};

} // namespace

std::unique_ptr<FrameIndex> ParseFrameIndex(const uint8_t *block, uint32_t blockSize,
                                            std::unique_ptr<FrameIndex> record, uint32_t quality) {
    ByteReader reader(block, blockSize);
    uint32_t dwIndexSize = 0;
    if (!reader.readU32BE(dwIndexSize) || dwIndexSize == 0 || dwIndexSize >= payload::kIndexSizeLimit)
        return nullptr;
    if (dwIndexSize < payload::kMinIndexSize)
        return nullptr;
    const uint32_t numIndexes = (dwIndexSize - payload::kIndexSizeFieldBytes) / payload::kIndexEntryBytes;
    if (reader.remaining() < size_t(numIndexes) * payload::kIndexEntryBytes)
        return nullptr;

    if (!record)
        record = std::make_unique<FrameIndex>();
    *record = FrameIndex{};
    record->block = block;
    PictureWalk walk(*record, ByteReader(block, blockSize), quality);

    for (uint32_t i = 0; i < numIndexes; ++i) {
        payload::IndexEntry entry;
        reader.readU32BE(entry.type);
        reader.readU32BE(entry.value);
        reader.readU32BE(entry.offset);
        reader.readU32BE(entry.size);
        const uint64_t offset = entry.offset;
        if (entry.type >= payload::kEntrySoundFirst &&
            entry.type < payload::kEntrySoundFirst + payload::kSoundChannels) {
            const uint32_t length = entry.size & payload::kSoundLengthMask;
            if (offset + payload::kSoundFieldBytes + length > blockSize)
                continue;
            IndexElement &sound = record->sound[entry.type - payload::kEntrySoundFirst];
            sound.start = block + offset;
            sound.type = entry.type;
            sound.value = entry.value;
            sound.payload = block + offset + payload::kSoundFieldBytes;
            sound.length = length;
            sound.tag = uint8_t(entry.size >> 24);
        } else if (entry.type == payload::kEntryData) {
            if (offset + entry.size > blockSize)
                continue;
            record->data = IndexElement{};
            record->data.type = entry.type;
            record->data.value = entry.value;
            record->data.payload = block + offset;
            record->data.length = entry.size;
        } else if (entry.type == payload::kEntryPictureRegion) {
            walk.region(entry);
        }
    }
    record->valid = 1;
    return record;
}

void ReleaseFrameIndex(std::unique_ptr<FrameIndex> &record) {
    record.reset();
}

uint32_t GetDataItemLength(const uint8_t *item, size_t available) {
    ByteReader reader(item, available);
    uint8_t prefix = 0;
    uint32_t length = 0;
    if (!reader.startsWith(payload::kDataItemKey) || !reader.skip(payload::kDataItemKey.size()) ||
        !reader.readU8(prefix) || prefix != payload::kDataItemLengthPrefix || !reader.readU24BE(length))
        return 0;
    return length <= reader.remaining() ? length : 0;
}
