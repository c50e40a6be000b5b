#pragma once

// The few published SMPTE keys and local tags the conformance check reads (377 partitions, primer, index
// table, random index pack and fill; 379 generic container items; 377 and 381/382 header metadata sets).
// The check keeps its own table, apart from the writer's, so that it catches the writer's mistakes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace conform {

using Key = std::array<uint8_t, 16>;
inline constexpr size_t kKeySize = 16;

// Every SMPTE key starts with these bytes.
inline constexpr std::array<uint8_t, 4> kKeyPrefix{0x06, 0x0E, 0x2B, 0x34};

// Partition pack: byte 13 is the kind, byte 14 the status; the first 13 bytes identify it.
inline constexpr Key kPartitionPack{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                    0x0D, 0x01, 0x02, 0x01, 0x01, 0x00, 0x00, 0x00};
inline constexpr size_t kPartitionKeyBytes = 13, kPartitionKindByte = 13, kPartitionStatusByte = 14;
inline constexpr uint8_t kHeaderKind = 0x02, kBodyKind = 0x03, kFooterKind = 0x04;
inline constexpr uint8_t kClosedComplete = 0x04;
// Fixed fields of a partition pack value before its essence container batch.
inline constexpr size_t kPartitionPackFixedBytes = 88;

inline constexpr Key kPrimerPack{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                 0x0D, 0x01, 0x02, 0x01, 0x01, 0x05, 0x01, 0x00};
inline constexpr Key kRandomIndexPack{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                      0x0D, 0x01, 0x02, 0x01, 0x01, 0x11, 0x01, 0x00};
inline constexpr Key kIndexTableSegment{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                        0x0D, 0x01, 0x02, 0x01, 0x01, 0x10, 0x01, 0x00};
// KLV fill as the register's version 2 names it; byte 7 is the version byte.
inline constexpr Key kFill{0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02,
                           0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
inline constexpr size_t kVersionByte = 7;

// Header metadata sets: 14 fixed bytes, the set's kind in byte 14, then 0x00.
inline constexpr std::array<uint8_t, 12> kMetadataSetPrefix{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53,
                                                            0x01, 0x01, 0x0D, 0x01, 0x01, 0x01};
inline constexpr size_t kSetKindByte = 14;
namespace sets {
inline constexpr uint8_t kMaterialPackage = 0x36, kSourcePackage = 0x37, kTrack = 0x3B, kSequence = 0x0F;
inline constexpr uint8_t kCdciDescriptor = 0x28, kRgbaDescriptor = 0x29, kMpegDescriptor = 0x51;
inline constexpr uint8_t kSoundDescriptor = 0x42, kWaveDescriptor = 0x48, kAes3Descriptor = 0x47;
} // namespace sets

// Generic container content: bytes 8 to 11 of every essence element and system item key; byte 12 the item
// type, bytes 12 to 15 the track number.
inline constexpr std::array<uint8_t, 4> kContentKeyBytes{0x0D, 0x01, 0x03, 0x01};
inline constexpr size_t kContentKeyOffset = 8, kTrackNumberOffset = 12;
inline constexpr uint8_t kPictureItem = 0x15, kSoundItem = 0x16, kDataItem = 0x17;

namespace tags {
inline constexpr uint16_t kInstanceUid = 0x3C0A;
inline constexpr uint16_t kPackageUid = 0x4401, kTracks = 0x4403, kTrackId = 0x4801, kTrackNumber = 0x4804,
                          kSequence = 0x4803;
inline constexpr uint16_t kEditRate = 0x4B01, kDuration = 0x0202;
inline constexpr uint16_t kSampleRate = 0x3001, kFrameLayout = 0x320C, kStoredWidth = 0x3203,
                          kStoredHeight = 0x3202, kComponentDepth = 0x3301, kHorizontalSubsampling = 0x3302;
inline constexpr uint16_t kAudioSamplingRate = 0x3D03, kChannelCount = 0x3D07, kQuantizationBits = 0x3D01;
inline constexpr uint16_t kIndexStartPosition = 0x3F0C, kIndexDuration = 0x3F0D, kEditUnitByteCount = 0x3F05,
                          kIndexSid = 0x3F06, kBodySid = 0x3F07, kSliceCount = 0x3F08,
                          kPosTableCount = 0x3F0E, kIndexEntryArray = 0x3F0A;
} // namespace tags

inline bool startsWith(std::span<const uint8_t> key, std::span<const uint8_t> prefix) {
    if (key.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (key[i] != prefix[i])
            return false;
    return true;
}

} // namespace conform
