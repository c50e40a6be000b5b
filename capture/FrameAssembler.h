#pragma once

// The reading of payload blocks into frames, as the writer does it: fed one payload block at a time, it
// parses the block's frame index, takes the block's sound and data into its own buffers, joins a picture
// cut at the end of the previous block with its continuation, walks the block's picture elements and hands
// every frame on, in order, with its sound samples, data item and time code. The transfer's frame count
// ends it.
//
// Reading rules: a block's sound is taken when the sample count of its sound element 0 is non-zero, its
// data items when its data element counts any; the frames of a block take their sound one after another
// (3 bytes per sample, the edit unit's sample count) and their data items at a fixed stride (the element's
// length over its item count). Elements from the third on that are shorter than the one before are the
// first part of a frame that continues in the next block. A picture whose length is not the frame size (a
// whole element, a joined frame whose parts do not add up, or a first part whose rest the owner knows will
// not come: endOnCutFrame) is damaged: it is not handed on, and it ends the transfer (wrongPicture tells
// where).
//
// Safety: blocks are untrusted. Sound and data copies stay inside their buffers (600,600 bytes per channel,
// 131,072 bytes); at most 16 sound channels are read; a frame's spans never reach past what a block gave.
// The part of a cut frame is copied out before addBlock returns, so a block need only stay valid while
// addBlock reads it.
//
// Threads: one thread at a time (the writer thread).

#include "capture/BufferPool.h"
#include "capture/FrameIndex.h"
#include "capture/PayloadFormat.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// One frame as it is handed on. The spans point into the assembler's buffers or the block being read and
// are valid during the callback only.
struct AssembledFrame {
    uint64_t number = 0;                                                 // from 0, in transfer order
    std::span<const uint8_t> picture;                                    // the picture bytes
    uint32_t samples = 0;                                                // samples per channel of this frame
    std::array<std::span<const uint8_t>, payload::kSoundChannels> sound; // 3 x samples bytes per channel
    bool dataItemsPresent = false;                                       // the block carries data items
    std::span<const uint8_t> dataItem; // the item's data; empty without data items or for an unreadable item
    uint32_t timeCode = 0;             // the first four bytes of the frame's lead-in, big-endian
};

// A picture whose length differs from the frame size.
struct WrongPicture {
    uint64_t frame = 0;    // its number, from 0: the frames handed on before it
    uint32_t timeCode = 0; // its lead-in time code (for a joined frame, its first part's)
    uint64_t length = 0;   // its bytes
};

class FrameAssembler {
public:
    // Bytes of sound per channel and of data items that one block may bring.
    static constexpr uint32_t kSoundBufferBytes = 600'600;
    static constexpr uint32_t kDataBufferBytes = 131'072;

    struct Settings {
        uint32_t quality = 0;       // compression quality: 0 HQ, 1 SQ, 2 Lite
        uint32_t frameCount = 0;    // frames of the transfer
        uint32_t soundChannels = 0; // channels of the clip; more than 16 are read as 16
        // Samples per channel of the frame at a position (from 0): the edit rate's cadence.
        std::function<uint32_t(uint64_t)> samplesInFrame;
        uint32_t blockSize = payload::kBlockSize;
    };
    using FrameSink = std::function<void(const AssembledFrame &)>;

    enum class BlockResult {
        Read,       // the block's frames were handed on; more are expected
        Unreadable, // the block's index was refused ("Unknown Error"); nothing was handed on
        Finished,   // the frame count is reached, or a picture was damaged: no more blocks are read
    };

    // Picture bytes per frame for a compression quality; none for an unknown quality.
    static std::optional<uint32_t> frameBytesFor(uint32_t quality);

    // settings.quality must be 0, 1 or 2 (see frameBytesFor). sink is called once per frame.
    FrameAssembler(Settings settings, FrameSink sink);

    // Reads one block of settings.blockSize bytes.
    BlockResult addBlock(const uint8_t *block);

    uint64_t framesAssembled() const { return framesWritten; }
    bool finished() const { return done; }
    // Set when the transfer ended on a picture whose length is not the frame size.
    const std::optional<WrongPicture> &wrongPicture() const { return damaged; }
    // Whether it holds the first part of the transfer's last frame and waits for a block with the rest:
    // when none comes, the clip's last picture arrived short and looks like a cut.
    bool awaitsRestOfLastFrame() const;
    // Ends the transfer on the first part of a cut frame it holds, as a picture of that part's length
    // (wrongPicture): for when its rest will not come. Nothing when it holds none.
    void endOnCutFrame();

private:
    void takeSound(const FrameIndex &record);
    void takeData(const FrameIndex &record);
    void joinSplitFrame(const FrameIndex &record);
    void walk(const FrameIndex &record, uint32_t start);
    void handOn(std::span<const uint8_t> picture, uint32_t timeCode);
    void counted();
    void endOnWrongPicture(uint32_t timeCode, uint64_t length);

    const Settings settings;
    const FrameSink sink;
    const uint32_t frameBytes;
    std::unique_ptr<FrameIndex> record;
    uint64_t framesWritten = 0;
    bool done = false;
    std::optional<WrongPicture> damaged;

    // From the process's buffer pool, so that transfer after transfer maps no new memory.
    bufferpool::Buffer pictureBuffer; // the first part of a cut frame, then the joined frame
    uint32_t pendingLength = 0;       // length of a cut frame's first part (at most frameBytes kept)
    uint32_t pendingTimeCode = 0;

    std::vector<bufferpool::Buffer> soundBuffers; // one per channel read
    std::vector<uint32_t> soundBytes;             // bytes the last block gave per channel
    uint32_t soundOffset = 0;

    bufferpool::Buffer dataBuffer;
    bool dataItemsPresent = false;
    uint32_t dataOffset = 0;
    uint32_t dataLength = 0;
    uint32_t dataItemCount = 0;
};
