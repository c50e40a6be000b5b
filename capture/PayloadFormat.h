#pragma once

// The payload format the recorder plays out in transfer mode: how a payload block sits in a pair of
// captured pictures, and the index, picture, sound and data elements inside the block. Shared by the
// reading side (capture/) and the simulated recorder that writes it (platform/srmodule/).
// Every multi-byte number in a payload block is big-endian.

#include "recorder/SoundFormat.h"

#include <array>
#include <cstdint>

namespace payload {

// --- Carriage in the pictures -----------------------------------------------------------------------------
inline constexpr uint32_t kBlockSize = 8'294'400;  // one payload block, from two pictures
inline constexpr uint32_t kRowBytes = 7'680;       // one payload row, from one pair of lines
inline constexpr uint32_t kRows = 1'080;           // payload rows per block
inline constexpr uint32_t kRowsPerPicture = 540;   // rows 0..539 from picture A, 540..1079 from B
inline constexpr uint32_t kPictureLines = 1'080;   // lines of one captured picture
inline constexpr uint32_t kLineBytes8Bit = 3'840;  // 1,920 pixels, two 8-bit samples each
inline constexpr uint32_t kLineBytes10Bit = 5'120; // 1,280 little-endian 32-bit words
inline constexpr uint32_t kWordsPerLine10Bit = 1'280;
inline constexpr uint32_t kPictureBytes8Bit = kLineBytes8Bit * kPictureLines;   // 4,147,200
inline constexpr uint32_t kPictureBytes10Bit = kLineBytes10Bit * kPictureLines; // 5,529,600

constexpr uint32_t lineBytes(bool eightBit) {
    return eightBit ? kLineBytes8Bit : kLineBytes10Bit;
}
constexpr uint32_t pictureBytes(bool eightBit) {
    return eightBit ? kPictureBytes8Bit : kPictureBytes10Bit;
}
// A pair of pictures, A then B, back to back.
constexpr uint32_t picturePairBytes(bool eightBit) {
    return 2 * pictureBytes(eightBit);
}

// --- Index at offset 0 ------------------------------------------------------------------------------------
inline constexpr uint32_t kIndexSizeFieldBytes = 4; // dwIndexSize, counting itself
inline constexpr uint32_t kIndexEntryBytes = 16;    // type, value, offset, size
inline constexpr uint32_t kIndexSizeLimit = 512;    // an index size of 0 or this or more is refused
inline constexpr uint32_t kMinIndexSize = 20;       // one entry
// The first-block check accepts 1 to 19 entries (index sizes 20 to 323).
inline constexpr uint32_t kMaxEntriesOfFirstBlock = 19;

constexpr uint32_t indexSize(uint32_t entryCount) {
    return kIndexSizeFieldBytes + kIndexEntryBytes * entryCount;
}

// One index entry: four big-endian 32-bit numbers.
struct IndexEntry {
    uint32_t type = 0;
    // sound: sample count; data: item count; picture region: 0 = begins with a continuation
    uint32_t value = 0;
    uint32_t offset = 0; // from the block's start
    uint32_t size = 0;   // sound: tag << 24 | length; data and picture region: bytes
};

// Entry types.
inline constexpr uint32_t kEntryData = 0;
inline constexpr uint32_t kEntrySoundFirst = 32; // 32 + channel
inline constexpr uint32_t kSoundChannels = 16;
inline constexpr uint32_t kEntryPictureRegion = 64;

// --- Sound element: a 4-byte field, then `length` bytes: a 16-byte header and the samples ----------------
inline constexpr uint32_t kSoundFieldBytes = 4;
inline constexpr uint32_t kSoundHeaderBytes = 16;
inline constexpr uint32_t kSoundSampleBytes = kSoundBitsPerSample / 8;
inline constexpr uint32_t kSoundLengthMask = 0x00FF'FFFF; // of an entry's size; the high byte is the tag

// --- Data element: items of key, 0x83, 24-bit length, data ------------------------------------------------
inline constexpr std::array<uint8_t, 16> kDataItemKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01,
                                                         0x0D, 0x01, 0x03, 0x01, 0x17, 0x01, 0x02, 0x01};
inline constexpr uint8_t kDataItemLengthPrefix = 0x83;
inline constexpr uint32_t kDataItemHeaderBytes = 20; // key, prefix, 24-bit length

// --- Picture element: lead-in, key, length prefix, 24-bit length L, L picture bytes, trailer -------------
inline constexpr std::array<uint8_t, 16> kPictureKey = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01,
                                                        0x0D, 0x01, 0x03, 0x01, 0x15, 0x01, 0x05, 0x00};
inline constexpr uint32_t kLeadInBytes = 1'024;      // begins with the frame's time code
inline constexpr uint32_t kPictureKeyOffset = 1'024; // from the element's start
inline constexpr uint32_t kPictureLengthPrefixOffset = 1'040;
inline constexpr uint32_t kPictureLengthOffset = 1'041; // 24-bit L
inline constexpr uint32_t kPictureHeaderBytes = 1'044;  // lead-in, key, prefix, length
inline constexpr uint8_t kPictureLengthPrefix = 0x83;   // written by the recorder, never examined
inline constexpr uint32_t kTrailerBytes = 436;          // plus trailerExtra(quality)
inline constexpr uint32_t kMaxPictureElements = 10;     // per block

// Compression quality 2 lengthens every trailer by 28 bytes.
constexpr uint32_t trailerExtra(uint32_t quality) {
    return quality == 2 ? 28 : 0;
}
constexpr uint32_t trailerBytes(uint32_t quality) {
    return kTrailerBytes + trailerExtra(quality);
}
// Bytes from one element's start to the next's: L + X + 1,480.
constexpr uint32_t pictureElementBytes(uint32_t pictureLength, uint32_t quality) {
    return kPictureHeaderBytes + pictureLength + trailerBytes(quality);
}

} // namespace payload
