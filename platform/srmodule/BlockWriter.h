#pragma once

// The simulated recorder's writer of payload blocks: the index at the head of the block, then sound
// elements, a data element and picture regions holding whole, cut and continued picture elements, laid
// out one after another in the order they are added. The caller decides the layout (see the play-out
// rules); the writer keeps every element inside the block and refuses what would not fit.
//
// Typical block: BlockWriter w(quality, entries); w.addSound(...) per channel; w.addData(...);
// w.beginPictureRegion(...); w.addContinuation(...); w.addPicture(...)...; w.addCutPicture(...);
// w.endPictureRegion(); then w.finish() gives the block's bytes.
//
// Failures: every add returns false (addCutPicture 0) and writes nothing when the element would not fit
// in the block, the index is full, or the call is out of order. One thread at a time.

#include "capture/PayloadFormat.h"

#include <cstdint>
#include <span>
#include <vector>

class BlockWriter {
public:
    // A block of blockSize bytes for a transfer of compression quality 0, 1 or 2, with room for
    // indexEntries entries at its head (the index size written is that of the entries actually added).
    // storage, when given, is memory the block is written into (its content is dropped), so that a
    // writer of block after block allocates none.
    BlockWriter(uint32_t quality, uint32_t indexEntries, uint32_t blockSize = payload::kBlockSize,
                std::vector<uint8_t> storage = {});

    // Offset of the next element from the block's start, and the bytes left behind it.
    uint32_t position() const { return uint32_t(bytes.size()); }
    uint32_t remaining() const { return blockSize - position(); }

    // Leaves zero bytes up to offset, so that the next element starts there.
    bool padTo(uint32_t offset);

    // Sound element of channel 0 to 15: the 4-byte field, a 16-byte header, then the samples (three bytes
    // each). Index entry: type 32 + channel, value sampleCount, size tag << 24 | (16 + samples' bytes).
    bool addSound(uint32_t channel, uint32_t sampleCount, std::span<const uint8_t> samples, uint8_t tag = 0);

    // Data element: every item as data item key, 0x83, 24-bit length and data, padded to stride bytes.
    // Index entry: type 0, value the item count, size count x stride.
    bool addData(std::span<const std::vector<uint8_t>> items, uint32_t stride);

    // Opens a picture region at position(); startsWithContinuation gives its entry value 0, else 1.
    bool beginPictureRegion(bool startsWithContinuation);
    // The rest of a picture cut at the end of the previous block, then the trailer.
    bool addContinuation(std::span<const uint8_t> rest);
    // A whole picture element: lead-in beginning with timeCode, key, length prefix, length, picture, trailer.
    bool addPicture(uint32_t timeCode, std::span<const uint8_t> picture);
    // A picture element cut at the block's end: the header announces the whole picture, and as many of its
    // bytes follow as fit. Returns that count (the next block continues with the rest); 0, nothing
    // written, unless at least one picture byte fits and at least one is left over.
    uint32_t addCutPicture(uint32_t timeCode, std::span<const uint8_t> picture);
    // Closes the open region: type 64 entry whose size runs from the region's start to position().
    bool endPictureRegion();

    // Adds an entry exactly as given, for layouts the helpers above do not make.
    bool addIndexEntry(const payload::IndexEntry &entry);

    // The block: index size and entries, the elements, zeros up to blockSize. The second form hands over
    // the writer's own memory.
    std::vector<uint8_t> finish() const &;
    std::vector<uint8_t> finish() &&;

private:
    void complete(std::vector<uint8_t> &block) const;
    bool fits(uint64_t count) const { return count <= remaining(); }
    void writePictureHeader(uint32_t timeCode, uint32_t pictureLength);

    uint32_t quality;
    uint32_t indexCapacity;
    uint32_t blockSize;
    std::vector<uint8_t> bytes; // the block as written so far, from offset 0
    std::vector<payload::IndexEntry> entries;
    bool regionOpen = false;
    payload::IndexEntry region;
};
