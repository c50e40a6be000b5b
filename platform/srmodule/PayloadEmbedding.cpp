#include "platform/srmodule/PayloadEmbedding.h"

#include "capture/PayloadFormat.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

void spreadRow8Bit(const uint8_t *row, uint8_t *leading, uint8_t *other) {
#if defined(__SSE2__)
    // Even bytes are the low halves of the row's 16-bit pairs, odd bytes the high halves.
    static_assert(payload::kLineBytes8Bit % 16 == 0);
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    for (size_t j = 0; j < payload::kLineBytes8Bit; j += 16) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 2 * j));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 2 * j + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(leading + j),
                         _mm_packus_epi16(_mm_and_si128(first, lowBytes), _mm_and_si128(second, lowBytes)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(other + j),
                         _mm_packus_epi16(_mm_srli_epi16(first, 8), _mm_srli_epi16(second, 8)));
    }
#else
    for (size_t j = 0; j < payload::kLineBytes8Bit; ++j) {
        leading[j] = row[2 * j];
        other[j] = row[2 * j + 1];
    }
#endif
}

// The bits of a 10-bit word that carry payload: the low eight bits of each of its three samples.
constexpr uint32_t kPayloadBits = 0xFFu | 0xFFu << 10 | 0xFFu << 20;

void putWord(uint8_t *bytes, uint8_t low, uint8_t middle, uint8_t high) {
    const uint32_t old =
        uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    const uint32_t word =
        (old & ~kPayloadBits) | uint32_t(low) | uint32_t(middle) << 10 | uint32_t(high) << 20;
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(word >> (8 * i));
}

void spreadRow10Bit(const uint8_t *row, uint8_t *leading, uint8_t *other) {
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; ++w) {
        const uint8_t *in = row + 6 * w;
        putWord(leading + 4 * w, in[0], in[2], in[4]);
        putWord(other + 4 * w, in[1], in[3], in[5]);
    }
}

} // namespace

bool EmbedPayload(std::span<const uint8_t> block, std::span<uint8_t> pictures, bool eightBit) {
    if (block.size() != payload::kBlockSize || pictures.size() != payload::picturePairBytes(eightBit))
        return false;
    const size_t lineBytes = payload::lineBytes(eightBit);
    for (size_t r = 0; r < payload::kRows; ++r) {
        uint8_t *line0 = pictures.data() + 2 * lineBytes * r;
        uint8_t *line1 = line0 + lineBytes;
        // Picture A's rows lead with the odd line, picture B's with the even one.
        const bool oddLeads = r < payload::kRowsPerPicture;
        uint8_t *leading = oddLeads ? line1 : line0;
        uint8_t *other = oddLeads ? line0 : line1;
        const uint8_t *row = block.data() + size_t(payload::kRowBytes) * r;
        if (eightBit)
            spreadRow8Bit(row, leading, other);
        else
            spreadRow10Bit(row, leading, other);
    }
    return true;
}
