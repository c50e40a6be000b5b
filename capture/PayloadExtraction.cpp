#include "capture/PayloadExtraction.h"

#include "bytes/ByteReader.h"
#include "capture/PayloadFormat.h"
#include "capture/SimdLevel.h"
#include "card/CWyrnCard.h"

#include <array>
#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#define VANTREL_X86 1
#include <immintrin.h>
#endif

namespace {

using RowBuilder = void (*)(uint8_t *row, const uint8_t *leading, const uint8_t *other);

// 8-bit rule: payload byte 2j is byte j of the leading line, byte 2j+1 byte j of the other line.
void buildRow8Bit(uint8_t *row, const uint8_t *leading, const uint8_t *other) {
    for (size_t j = 0; j < payload::kLineBytes8Bit; ++j) {
        row[2 * j] = leading[j];
        row[2 * j + 1] = other[j];
    }
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

#if defined(VANTREL_X86)

// Stores 16 bytes. Streamed stores go past the caches to memory: the block is read long after, by another
// thread, so caching it would only push out what the capture needs now. at must be 16-byte aligned then.
template <bool Stream> __attribute__((target("ssse3"))) void store16(uint8_t *at, __m128i bytes) {
    if constexpr (Stream)
        _mm_stream_si128(reinterpret_cast<__m128i *>(at), bytes);
    else
        _mm_storeu_si128(reinterpret_cast<__m128i *>(at), bytes);
}

template <bool Stream>
__attribute__((target("ssse3"))) void buildRow8BitSsse3(uint8_t *row, const uint8_t *leading,
                                                        const uint8_t *other) {
    static_assert(payload::kLineBytes8Bit % 16 == 0);
    for (size_t j = 0; j < payload::kLineBytes8Bit; j += 16) {
        const __m128i lead = _mm_loadu_si128(reinterpret_cast<const __m128i *>(leading + j));
        const __m128i oth = _mm_loadu_si128(reinterpret_cast<const __m128i *>(other + j));
        store16<Stream>(row + 2 * j, _mm_unpacklo_epi8(lead, oth));
        store16<Stream>(row + 2 * j + 16, _mm_unpackhi_epi8(lead, oth));
    }
}

// Four 10-bit words with their three payload bytes moved to bytes 0, 1 and 2 of each word, byte 3 zero.
__attribute__((target("ssse3"))) __m128i payloadBytesOfWords(const uint8_t *words) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(words));
    const __m128i low = _mm_and_si128(w, _mm_set1_epi32(0xFF));
    const __m128i middle = _mm_and_si128(_mm_srli_epi32(w, 2), _mm_set1_epi32(0xFF00));
    const __m128i high = _mm_and_si128(_mm_srli_epi32(w, 4), _mm_set1_epi32(0xFF0000));
    return _mm_or_si128(_mm_or_si128(low, middle), high);
}

// Stores the four 12-byte pieces c0 to c3, each in the low bytes of its register with zeros above, as 48
// consecutive bytes.
template <bool Stream>
__attribute__((target("ssse3"))) void storePieces(uint8_t *out, __m128i c0, __m128i c1, __m128i c2,
                                                  __m128i c3) {
    store16<Stream>(out, _mm_or_si128(c0, _mm_slli_si128(c1, 12)));
    store16<Stream>(out + 16, _mm_or_si128(_mm_srli_si128(c1, 4), _mm_slli_si128(c2, 8)));
    store16<Stream>(out + 32, _mm_or_si128(_mm_srli_si128(c2, 8), _mm_slli_si128(c3, 4)));
}

// Eight words of each line give 48 payload bytes: the two lines' payload bytes are interleaved a byte at
// a time (six bytes and two zero bytes per word pair), the zeros squeezed out and the four 12-byte pieces
// joined into three 16-byte stores.
template <bool Stream>
__attribute__((target("ssse3"))) void buildRow10BitSsse3(uint8_t *row, const uint8_t *leading,
                                                         const uint8_t *other) {
    static_assert(payload::kWordsPerLine10Bit % 8 == 0);
    const __m128i squeeze = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1);
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; w += 8) {
        const __m128i lead0 = payloadBytesOfWords(leading + 4 * w);
        const __m128i lead1 = payloadBytesOfWords(leading + 4 * w + 16);
        const __m128i oth0 = payloadBytesOfWords(other + 4 * w);
        const __m128i oth1 = payloadBytesOfWords(other + 4 * w + 16);
        storePieces<Stream>(row + 6 * w, _mm_shuffle_epi8(_mm_unpacklo_epi8(lead0, oth0), squeeze),
                            _mm_shuffle_epi8(_mm_unpackhi_epi8(lead0, oth0), squeeze),
                            _mm_shuffle_epi8(_mm_unpacklo_epi8(lead1, oth1), squeeze),
                            _mm_shuffle_epi8(_mm_unpackhi_epi8(lead1, oth1), squeeze));
    }
}

// The 8-bit rule 32 bytes of each line at a time. The unpacks interleave within 16-byte lanes, so the
// lines' 8-byte quarters are first put in the order 0, 2, 1, 3.
template <bool Stream>
__attribute__((target("avx2"))) void buildRow8BitAvx2(uint8_t *row, const uint8_t *leading,
                                                      const uint8_t *other) {
    static_assert(payload::kLineBytes8Bit % 32 == 0);
    for (size_t j = 0; j < payload::kLineBytes8Bit; j += 32) {
        const __m256i lead = _mm256_permute4x64_epi64(
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(leading + j)), 0xD8);
        const __m256i oth =
            _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(other + j)), 0xD8);
        const __m256i low = _mm256_unpacklo_epi8(lead, oth);
        const __m256i high = _mm256_unpackhi_epi8(lead, oth);
        store16<Stream>(row + 2 * j, _mm256_castsi256_si128(low));
        store16<Stream>(row + 2 * j + 16, _mm256_extracti128_si256(low, 1));
        store16<Stream>(row + 2 * j + 32, _mm256_castsi256_si128(high));
        store16<Stream>(row + 2 * j + 48, _mm256_extracti128_si256(high, 1));
    }
}

// Eight 10-bit words with their three payload bytes moved to bytes 0, 1 and 2 of each word, byte 3 zero.
__attribute__((target("avx2"))) __m256i payloadBytesOfWordsAvx2(const uint8_t *words) {
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(words));
    const __m256i low = _mm256_and_si256(w, _mm256_set1_epi32(0xFF));
    const __m256i middle = _mm256_and_si256(_mm256_srli_epi32(w, 2), _mm256_set1_epi32(0xFF00));
    const __m256i high = _mm256_and_si256(_mm256_srli_epi32(w, 4), _mm256_set1_epi32(0xFF0000));
    return _mm256_or_si256(_mm256_or_si256(low, middle), high);
}

// As buildRow10BitSsse3, with the payload bytes of eight words of each line found, interleaved and
// squeezed at once; the unpacks work in 16-byte lanes (words 0, 1 | 4, 5 and words 2, 3 | 6, 7).
template <bool Stream>
__attribute__((target("avx2"))) void buildRow10BitAvx2(uint8_t *row, const uint8_t *leading,
                                                       const uint8_t *other) {
    static_assert(payload::kWordsPerLine10Bit % 8 == 0);
    const __m256i squeeze = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1, 0, 1, 2,
                                             3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1);
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; w += 8) {
        const __m256i lead = payloadBytesOfWordsAvx2(leading + 4 * w);
        const __m256i oth = payloadBytesOfWordsAvx2(other + 4 * w);
        const __m256i low = _mm256_shuffle_epi8(_mm256_unpacklo_epi8(lead, oth), squeeze);
        const __m256i high = _mm256_shuffle_epi8(_mm256_unpackhi_epi8(lead, oth), squeeze);
        storePieces<Stream>(row + 6 * w, _mm256_castsi256_si128(low), _mm256_castsi256_si128(high),
                            _mm256_extracti128_si256(low, 1), _mm256_extracti128_si256(high, 1));
    }
}

#endif

// The row builder for the rule; stream asks for streamed stores (rows 16-byte aligned), which a caller
// ends with streamed().
RowBuilder rowBuilder(bool eightBit, bool stream) {
#if defined(VANTREL_X86)
    const simd::Level level = simd::level();
    if (level >= simd::Level::Avx2 && stream)
        return eightBit ? buildRow8BitAvx2<true> : buildRow10BitAvx2<true>;
    if (level >= simd::Level::Avx2)
        return eightBit ? buildRow8BitAvx2<false> : buildRow10BitAvx2<false>;
    if (level >= simd::Level::Ssse3 && stream)
        return eightBit ? buildRow8BitSsse3<true> : buildRow10BitSsse3<true>;
    if (level >= simd::Level::Ssse3)
        return eightBit ? buildRow8BitSsse3<false> : buildRow10BitSsse3<false>;
#endif
    return eightBit ? buildRow8Bit : buildRow10Bit;
}

// Orders streamed stores before whatever follows, such as handing the block to another thread.
void streamed() {
#if defined(VANTREL_X86)
    _mm_sfence();
#endif
}

} // namespace

uint32_t ExtractPayload(uint8_t *destination, const uint8_t *firstLine, const uint8_t *secondLine,
                        bool eightBit) {
    const ptrdiff_t lineDistance = secondLine - firstLine;
    const size_t pairStride = 2 * size_t(payload::lineBytes(eightBit));
    const bool stream = reinterpret_cast<uintptr_t>(destination) % 16 == 0;
    const RowBuilder buildRow = rowBuilder(eightBit, stream);
    for (uint32_t r = 0; r < payload::kRows; ++r) {
        const uint8_t *line0 = firstLine + pairStride * r;
        const uint8_t *line1 = line0 + lineDistance;
        // Picture A's rows lead with the odd line, picture B's with the even one.
        const bool oddLeads = r < payload::kRowsPerPicture;
        buildRow(destination + size_t(payload::kRowBytes) * r, oddLeads ? line1 : line0,
                 oddLeads ? line0 : line1);
    }
    if (stream)
        streamed();
    return payload::kBlockSize;
}

bool IsValidFrame(const uint8_t *pictureA, bool eightBit) {
    odprintf("Checking for Valid Frame");
    std::array<uint8_t, payload::kRowBytes> row;
    rowBuilder(eightBit, false)(row.data(), pictureA + payload::lineBytes(eightBit), pictureA);

    ByteReader reader(row.data(), row.size());
    uint32_t dwIndexSize = 0;
    reader.readU32BE(dwIndexSize);
    odprintf("dwIndexSize = 0x%x", dwIndexSize);
    // Unsigned on purpose: an index size below 4 wraps to a huge count and is refused.
    const uint32_t numIndexes = (dwIndexSize - payload::kIndexSizeFieldBytes) >> 4;
    odprintf("numIndexes = %d", int(numIndexes));
    return numIndexes > 0 && numIndexes <= payload::kMaxEntriesOfFirstBlock;
}
