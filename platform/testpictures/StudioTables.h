#pragma once

// The code tables of Studio Profile intra coding (ISO/IEC 14496-2): the intra DC size codes, the twelve
// AC group code tables with the meaning of each group, the default intra quantiser matrix and the zigzag
// scan. Codewords are given MSB first in the low `length` bits of `bits`.

#include <array>
#include <cstdint>

namespace studio {

struct Vlc {
    uint32_t bits = 0;
    uint8_t length = 0; // 0: the table has no code for this symbol
};

inline constexpr int kMaxDcSize = 18;
inline constexpr int kAcTables = 12;
inline constexpr int kAcGroups = 22;

inline constexpr int kGroupEndOfBlock = 0;
inline constexpr int kGroupFirstRun = 1;      // 1 to 6: a zero run, a level follows from table 1
inline constexpr int kGroupFirstRunOfOne = 7; // 7 to 12: a zero run and a level of +1 or -1
inline constexpr int kGroupFirstLevel = 13;   // 13 to 20: a level of 1 to 8 magnitude bits
inline constexpr int kGroupEscape = 21;       // a level in kEscapeBits two's complement bits
inline constexpr int kEscapeBits = 14;        // bit depth 10 + dct precision 0 + 4
inline constexpr int kLevelTable = 1;         // the table after a zero run alone
inline constexpr int kRunOfOneTable = 2;      // the table after a run with a level of one
inline constexpr int kEscapeTable = 11;       // the table after an escape

// The code of dct_dc_size for luma blocks (and every block of GBR pictures) and for chroma blocks.
extern const std::array<Vlc, kMaxDcSize + 1> kLumaDcSize;
extern const std::array<Vlc, kMaxDcSize + 1> kChromaDcSize;
// kAcCodes[table][group].
extern const std::array<std::array<Vlc, kAcGroups>, kAcTables> kAcCodes;

// The default intra quantiser matrix, raster order.
extern const std::array<uint8_t, 64> kDefaultIntraMatrix;
// Scan position to raster position, alternate_scan 0.
extern const std::array<uint8_t, 64> kZigzag;

} // namespace studio
