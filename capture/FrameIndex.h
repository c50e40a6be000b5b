#pragma once

// The frame index at the head of a payload block: where the block's sound elements, data element and
// picture elements lie. ParseFrameIndex reads it into a FrameIndex record whose pointers point into the
// block (the record does not own the block and is valid only while the block is); it walks the picture
// elements by their keys and lengths and marks which continues from the previous block and which runs on
// into the next.
//
// Safety: the block is untrusted. Whatever the index says, every pointer of a returned record lies inside
// the block and every element's pointer plus length ends inside it: a sound or data entry whose element
// does not lie inside the block is skipped, a picture element that runs past the block's end is cut there.
// No function here reads outside the bytes it is given. Free functions without state; any thread.

#include "capture/PayloadFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// One sound (types 32 to 47) or data (type 0) entry of the index.
struct IndexElement {
    const uint8_t *start = nullptr; // block + offset; null for the data element
    uint32_t type = 0;
    uint32_t value = 0;               // sound: the sample count; data: the number of items
    const uint8_t *payload = nullptr; // sound: block + offset + 4; data: block + offset
    uint32_t length = 0;              // bytes at payload
    uint8_t tag = 0;                  // sound: the high byte of the entry's size
};

// One picture element found in a picture region.
struct VideoElement {
    enum Kind : uint32_t {
        kCut = 1,          // runs on into the next block, or is a last element shorter than the one before
        kContinuation = 2, // the rest of an element begun in the previous block
        kComplete = 3,
    };
    // The lead-in (its first four bytes are the time code); null for a continuation.
    const uint8_t *start = nullptr;
    const uint8_t *key = nullptr;     // the picture key; null for a continuation
    const uint8_t *payload = nullptr; // the picture data
    int32_t length = 0;               // bytes of picture data in this block
    uint32_t kind = 0;
};

struct FrameIndex {
    uint8_t valid = 0; // 1 once the parse completed
    const uint8_t *block = nullptr;
    IndexElement sound[payload::kSoundChannels]; // at slot type - 32
    IndexElement data;
    uint32_t pictureCount = 0;                           // entries of pictures filled
    VideoElement pictures[payload::kMaxPictureElements]; // in block order
};

// Parses the index of block (blockSize bytes). quality is the transfer's compression quality (0, 1 or 2).
// record is a record to reuse, or null to have one made; it is consumed either way: the result is the
// filled record, or null when the index is refused (index size 0, 512 or more, below 20, or entries that
// do not fit in the block), and then the record is freed. Callers replace their record by the result.
std::unique_ptr<FrameIndex> ParseFrameIndex(const uint8_t *block, uint32_t blockSize,
                                            std::unique_ptr<FrameIndex> record, uint32_t quality);

// Frees a record; the pointer is null afterwards.
void ReleaseFrameIndex(std::unique_ptr<FrameIndex> &record);

// The 24-bit length of the data item at item, of which available bytes may be read. 0 when the item does
// not begin with the data item key and the byte 0x83, or when its data would run past available.
uint32_t GetDataItemLength(const uint8_t *item, size_t available);
