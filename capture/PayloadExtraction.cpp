#include "capture/PayloadExtraction.h"

#include "bytes/ByteReader.h"
#include "capture/PayloadFormat.h"
#include "card/CWyrnCard.h"

#include <array>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// 8-bit rule: payload byte 2j is byte j of the leading line, byte 2j+1 byte j of the other line.
void buildRow8Bit(uint8_t *row, const uint8_t *leading, const uint8_t *other) {
#if defined(__SSE2__)
    static_assert(payload::kLineBytes8Bit % 16 == 0);
    for (size_t j = 0; j < payload::kLineBytes8Bit; j += 16) {
        const __m128i lead = _mm_loadu_si128(reinterpret_cast<const __m128i *>(leading + j));
        const __m128i oth = _mm_loadu_si128(reinterpret_cast<const __m128i *>(other + j));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(row + 2 * j), _mm_unpacklo_epi8(lead, oth));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(row + 2 * j + 16), _mm_unpackhi_epi8(lead, oth));
    }
#else
    for (size_t j = 0; j < payload::kLineBytes8Bit; ++j) {
        row[2 * j] = leading[j];
        row[2 * j + 1] = other[j];
    }
#endif
}

uint32_t littleEndianWord(const uint8_t *bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// 10-bit rule: each word carries three samples; the low eight bits of each are one payload byte, taken
// alternately from the leading and the other line.
void buildRow10Bit(uint8_t *row, const uint8_t *leading, const uint8_t *other) {
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; ++w) {
        const uint32_t lead = littleEndianWord(leading + 4 * w);
        const uint32_t oth = littleEndianWord(other + 4 * w);
        uint8_t *out = row + 6 * w;
        out[0] = uint8_t(lead);
        out[1] = uint8_t(oth);
        out[2] = uint8_t(lead >> 10);
        out[3] = uint8_t(oth >> 10);
        out[4] = uint8_t(lead >> 20);
        out[5] = uint8_t(oth >> 20);
    }
}

void buildRow(uint8_t *row, const uint8_t *leading, const uint8_t *other, bool eightBit) {
    if (eightBit)
        buildRow8Bit(row, leading, other);
    else
        buildRow10Bit(row, leading, other);
}

} // namespace

uint32_t ExtractPayload(uint8_t *destination, const uint8_t *firstLine, const uint8_t *secondLine,
                        bool eightBit) {
    const ptrdiff_t lineDistance = secondLine - firstLine;
    const size_t pairStride = 2 * size_t(payload::lineBytes(eightBit));
    for (uint32_t r = 0; r < payload::kRows; ++r) {
        const uint8_t *line0 = firstLine + pairStride * r;
        const uint8_t *line1 = line0 + lineDistance;
        // Picture A's rows lead with the odd line, picture B's with the even one.
        const bool oddLeads = r < payload::kRowsPerPicture;
        buildRow(destination + size_t(payload::kRowBytes) * r, oddLeads ? line1 : line0,
                 oddLeads ? line0 : line1, eightBit);
    }
    return payload::kBlockSize;
}

bool IsValidFrame(const uint8_t *pictureA, bool eightBit) {
    odprintf("Checking for Valid Frame");
    std::array<uint8_t, payload::kRowBytes> row;
    buildRow(row.data(), pictureA + payload::lineBytes(eightBit), pictureA, eightBit);

    ByteReader reader(row.data(), row.size());
    uint32_t dwIndexSize = 0;
    reader.readU32BE(dwIndexSize);
    odprintf("dwIndexSize = 0x%x", dwIndexSize);
    // Unsigned on purpose: an index size below 4 wraps to a huge count and is refused.
    const uint32_t numIndexes = (dwIndexSize - payload::kIndexSizeFieldBytes) >> 4;
    odprintf("numIndexes = %d", int(numIndexes));
    return numIndexes > 0 && numIndexes <= payload::kMaxEntriesOfFirstBlock;
}
