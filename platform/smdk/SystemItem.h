#pragma once

// The system item at the head of every content package (SDTI-CP compatible, SMPTE 385M/326M/331M): the
// system metadata pack with the user date/time stamp, and the package metadata set.

#include "mxf/SMDKTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace smdk {

inline constexpr size_t systemMetadataPackSize = 57;
// Where the user date/time stamp begins in the pack's value: after the bitmap, rate, type, channel handle,
// continuity count, SMPTE label and creation date/time stamp.
inline constexpr size_t systemUserTimestampOffset = 40;

// Bits of the system metadata bitmap.
namespace systemBitmap {
inline constexpr uint8_t smpteLabel = 0x40;
inline constexpr uint8_t userTimestamp = 0x10;
inline constexpr uint8_t picture = 0x08;
inline constexpr uint8_t sound = 0x04;
inline constexpr uint8_t data = 0x02;
} // namespace systemBitmap

// The content package rate code of an edit rate (SMPTE 326M); 0 for a rate without one.
uint8_t contentPackageRate(SMDKRational editRate);

// Value of the system metadata pack of edit unit `editUnit`.
std::vector<uint8_t> systemMetadataPack(uint8_t bitmap, uint8_t rate, int64_t editUnit,
                                        const SMDKUserTimestamp &userTimestamp);
// Value of the package metadata set: each item as type (1 byte), length (2 bytes) and value. An item type
// above 255 or a value above 65,535 bytes throws util::assertion_failure "valid package metadata item".
std::vector<uint8_t> packageMetadataSet(const SMDKMetadataItems &items);

} // namespace smdk
