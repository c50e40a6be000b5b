#pragma once

// The essence of one clip as the recorder plays it out, one frame at a time: the picture bytes, the
// sound samples of each channel, the data item and the time code of a frame. Essence comes from the
// clip's files where the manifest names them and is generated otherwise: coded test pictures that show the
// frame number and time code (1280 x 720 for picture size 0, 4:4:4 for the 4:4:4 sampling codes, padded
// to the clip's picture bytes), per sound channel a tone of its own or what the manifest describes
// (another tone, silence, a silent stretch; see ChannelSound), a data item naming the frame. Nothing
// holds more than the frames asked for, so clips of any length play from little memory. The same clip
// always gives the same bytes, so a test can build what it expects to read back.
//
// Failure: a file that can no longer be read gives zero bytes for what it should have held.
// Threads: one thread at a time (the file reads move the files' positions).

#include "platform/srmodule/ClipManifest.h"
#include "platform/testpictures/TestPictureGenerator.h"

#include <QFile>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class EssenceSource {
public:
    // Bytes of every generated data item; items are padded to kDataItemStride in a payload block.
    static constexpr uint32_t kDataItemBytes = 24;
    static constexpr uint32_t kDataItemStride = 64;

    explicit EssenceSource(const ManifestClip &clip);

    const ClipRecord &record() const { return clip; }
    uint32_t frameCount() const { return clip.durationFrames; }
    // Picture bytes of every frame: 1,875,000, or 937,500 for Lite clips.
    uint32_t pictureBytes() const { return frameBytes; }
    // Sound channels, at most 16.
    uint32_t soundChannels() const { return channels; }
    bool hasDataItems() const { return dataItems; }

    // Fills out (pictureBytes() bytes, else nothing is written) with the picture of frame.
    void picture(uint64_t frame, std::span<uint8_t> out);
    // Samples per channel of frames [first, first + count), from the edit rate's cadence at 48 kHz.
    uint64_t samples(uint64_t first, uint64_t count) const;
    // Appends the 24-bit little-endian samples of channel for frames [first, first + count) to out.
    void sound(uint32_t channel, uint64_t first, uint64_t count, std::vector<uint8_t> &out);
    // The data bytes of frame's data item (kDataItemBytes bytes): an ANC data element (SMPTE 436M) with one
    // packet that carries the frame number.
    std::vector<uint8_t> dataItem(uint64_t frame) const;
    // Frame's time code: the start time code counted on by frame, as BCD hours, minutes, seconds,
    // frames, most significant byte first (drop-frame counting for drop-frame clips at 29.97 and 59.94).
    // From the clip's time code jump fault on, the count runs that many frames ahead.
    uint32_t timeCode(uint64_t frame) const;

private:
    // Whether time codes count in drop frame.
    bool dropFrameCounting() const;
    // One second of channel's generated tone or silence (every tone has a whole number of cycles in it),
    // made on first use; without its silent stretch, which sound() puts in.
    const std::vector<uint8_t> &toneSecond(uint32_t channel);

    const ClipRecord clip;
    const uint32_t frameBytes;
    const uint32_t channels;
    const bool dataItems;
    const std::optional<uint32_t> timecodeJumpAt;
    const uint32_t timecodeJumpFrames;
    std::unique_ptr<QFile> pictureFile;             // null: generated pictures
    std::unique_ptr<TestPictureGenerator> pictures; // made at the first generated picture
    std::vector<std::unique_ptr<QFile>> soundFiles; // empty: generated tones
    std::vector<std::vector<uint8_t>> tones;        // per channel: toneSecond's samples, or empty
    std::vector<ChannelSound> channelSound;         // per channel (channels entries)
};
