#pragma once

// The recorder's file-information reply (command bytes F5 22) for one clip: a complete 207-byte frame,
// bytes 0 to 205 set from the clip, then the checksum. Layout (offsets from the 0x30):
//   4-6 the request's data (00, index low, index high); 7 = 0: ready; 8 valid flag;
//   9-72 file name, 73-136 second name (64-byte fields, 00-padded); 139-142 duration, little-endian;
//   143-150 and 151-158 the two date-times in BCD, least significant first (hundredths, second, minute,
//   hour, day, month, year's last two digits, century); 159 drop-frame flag; 160-163 start timecode
//   in BCD (frames, seconds, minutes, hours); 165-169 rate index, scan, size, sampling, bit depth;
//   171 codec; 172 3D; 174 sound channels; 175-176 data-channel mask and 177-180 emphasis, both
//   little-endian; 181 format letter; 182-205 identifier. Bytes 137-138, 164, 170 and 173 are 0.

#include "platform/srmodule/ClipRecord.h"

#include <cstdint>
#include <vector>

inline constexpr uint8_t kFileInfoReplyCommand1 = 0xF5;
inline constexpr uint8_t kFileInfoReplyCommand2 = 0x22;
// Whole frame, checksum included.
inline constexpr size_t kFileInfoReplySize = 207;
// Width of the file name and second name fields; longer names are cut to it.
inline constexpr size_t kClipNameFieldSize = 64;

// The reply announcing the clip at index (the index echoes the request's).
std::vector<uint8_t> encodeFileInfoReply(const ClipRecord &clip, uint16_t index = 0);
