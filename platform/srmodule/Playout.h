#pragma once

// The payload blocks of one clip's play-out, block after block until every frame is out. Each block holds
// the index at its head, one sound element per channel, the data element when the clip has data items,
// then one picture region that runs last: the rest of a frame cut at the end of the previous block (if
// any), whole picture elements, and possibly a frame cut at the block's end.
//
// The layout is chosen so that the reading side's rules give every frame back exactly:
// - a block's sound and data belong to exactly the frames the reader hands on while it reads that block
//   (the joined frame first, then the whole ones), the sample counts following the edit rate's cadence
//   counted from the clip's first frame; data items sit at a fixed stride;
// - the most whole elements fit behind sound and data sized for them; the region ends with a cut element
//   only when at least one picture byte and not the whole picture fits, and the block then holds at least
//   two elements before it; otherwise the region ends after the last whole element;
// - never more than ten picture elements per block, never an element whose picture is complete but
//   whose trailer is cut, never a continuation that no element follows (the clip's last frame, when
//   cut, is followed by one dummy element the reader never reaches).
//
// Threads: one thread at a time. Memory: a few frames, never the whole clip.

#include "capture/PayloadFormat.h"
#include "platform/srmodule/ClipManifest.h"
#include "platform/srmodule/EssenceSource.h"

#include <cstdint>
#include <optional>
#include <vector>

class Playout {
public:
    // blockSize is the size of every payload block; model checks use smaller ones.
    explicit Playout(const ManifestClip &clip, uint32_t blockSize = payload::kBlockSize);

    // The next block (blockSize bytes); empty once every frame is out, or when the block size cannot
    // hold the clip's next frames (then failed() holds). storage: memory to write it into, such as a
    // block that is no longer needed.
    std::vector<uint8_t> nextBlock(std::vector<uint8_t> storage = {});
    // True once every frame of the clip is in a block.
    bool finished() const { return !pending && nextFrame >= source.frameCount(); }
    bool failed() const { return layoutFailed; }

    // The essence the blocks carry: what a reader must get back.
    EssenceSource &essence() { return source; }

private:
    struct Plan {
        uint32_t whole = 0; // whole elements after the continuation
        bool cut = false;   // a cut element ends the block
        bool dummy = false; // a dummy element follows the clip's cut last frame
    };
    std::optional<Plan> plan() const;
    // The bytes of frame's picture that the play-out sends: all of them but for the short-picture fault.
    std::span<const uint8_t> sentPicture(uint64_t frame, std::span<const uint8_t> bytes) const;
    // Bytes before the picture region of a block whose reader hands on frames [first, first + count).
    uint64_t bytesBeforeRegion(uint64_t first, uint32_t count) const;
    uint32_t indexEntries() const;

    EssenceSource source;
    const PlayoutFaults faults;
    const uint32_t blockSize;
    const uint32_t quality;
    uint64_t nextFrame = 0; // the first frame not yet begun in a block
    bool pending = false;   // pendingFrame was cut at the end of the last block
    uint64_t pendingFrame = 0;
    uint32_t pendingSent = 0; // its picture bytes already in a block
    bool layoutFailed = false;
    std::vector<uint8_t> pendingPicture;
    std::vector<uint8_t> picture;
    std::vector<uint8_t> samples;
};
