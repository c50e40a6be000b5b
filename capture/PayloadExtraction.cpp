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

// The 10-bit rule on vectors. Eight words of each line (a group) give 48 payload bytes, three 16-byte
// chunks of eight samples from each line. Chunk c reads the 16 bytes of words 2c to 2c + 3 of the group, so
// no load reaches past the group's own 32 bytes. A byte shuffle puts the two bytes that hold each sample's
// payload bits into one 16-bit lane; a multiply then moves the payload byte to the lane's low byte (leading
// line: high half of the product) or high byte (other line: low half), and a byte blend joins the two
// lines, leading byte first.
struct ChunkConstants {
    std::array<int8_t, 16> gather{};
    std::array<uint16_t, 8> leadingMultiplier{};
    std::array<uint16_t, 8> otherMultiplier{};
};

constexpr ChunkConstants chunkConstants(int chunk) {
    ChunkConstants constants;
    for (int j = 0; j < 8; ++j) {
        const int sample = 8 * chunk + j;          // of the group
        const int word = sample / 3 - 2 * chunk;   // of the chunk's 16 bytes
        const int bitInWord = 10 * (sample % 3);   // the payload byte's lowest bit
        const int byte = 4 * word + bitInWord / 8; // the byte that holds it
        // Sample 0 of a word sits alone in the lane's high byte; the others span bytes with their shift.
        const bool alone = sample % 3 == 0;
        const int shift = alone ? 8 : bitInWord % 8; // of the payload byte within the lane
        constants.gather[size_t(2 * j)] = int8_t(alone ? -1 : byte);
        constants.gather[size_t(2 * j + 1)] = int8_t(alone ? byte : byte + 1);
        constants.leadingMultiplier[size_t(j)] = uint16_t(1u << (16 - shift));
        constants.otherMultiplier[size_t(j)] = uint16_t(1u << (8 - shift));
    }
    return constants;
}

constexpr std::array<ChunkConstants, 3> kChunks = {chunkConstants(0), chunkConstants(1), chunkConstants(2)};

__attribute__((target("ssse3"))) __m128i load16(const void *at) {
    return _mm_loadu_si128(static_cast<const __m128i *>(at));
}

template <bool Stream>
__attribute__((target("ssse3"))) void buildRow10BitSsse3(uint8_t *row, const uint8_t *leading,
                                                         const uint8_t *other) {
    static_assert(payload::kWordsPerLine10Bit % 8 == 0);
    __m128i gather[3], leadingMultiplier[3], otherMultiplier[3];
    for (size_t c = 0; c < 3; ++c) {
        gather[c] = load16(kChunks[c].gather.data());
        leadingMultiplier[c] = load16(kChunks[c].leadingMultiplier.data());
        otherMultiplier[c] = load16(kChunks[c].otherMultiplier.data());
    }
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; w += 8) {
        for (size_t c = 0; c < 3; ++c) {
            const size_t at = 4 * (w + 2 * c);
            const __m128i lead =
                _mm_mulhi_epu16(_mm_shuffle_epi8(load16(leading + at), gather[c]), leadingMultiplier[c]);
            const __m128i oth =
                _mm_mullo_epi16(_mm_shuffle_epi8(load16(other + at), gather[c]), otherMultiplier[c]);
            store16<Stream>(row + 6 * w + 16 * c,
                            _mm_or_si128(_mm_and_si128(lead, lowBytes), _mm_andnot_si128(lowBytes, oth)));
        }
    }
}

// The 8-bit rule 32 bytes of each line at a time. The unpacks interleave within 16-byte lanes: the low
// lanes of the two results hold output bytes 0 to 31, the high lanes bytes 32 to 63.
template <bool Stream>
__attribute__((target("avx2"))) void buildRow8BitAvx2(uint8_t *row, const uint8_t *leading,
                                                      const uint8_t *other) {
    static_assert(payload::kLineBytes8Bit % 32 == 0);
    for (size_t j = 0; j < payload::kLineBytes8Bit; j += 32) {
        const __m256i lead = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(leading + j));
        const __m256i oth = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(other + j));
        const __m256i low = _mm256_unpacklo_epi8(lead, oth);
        const __m256i high = _mm256_unpackhi_epi8(lead, oth);
        store16<Stream>(row + 2 * j, _mm256_castsi256_si128(low));
        store16<Stream>(row + 2 * j + 16, _mm256_castsi256_si128(high));
        store16<Stream>(row + 2 * j + 32, _mm256_extracti128_si256(low, 1));
        store16<Stream>(row + 2 * j + 48, _mm256_extracti128_si256(high, 1));
    }
}

// The 10-bit rule as buildRow10BitSsse3, two groups at a time: the 16-byte lanes of the three vectors hold
// the chunks 0, 1 | 2, 0 | 1, 2 of the two groups.
__attribute__((target("avx2"))) __m256i load2x16(const uint8_t *low, const uint8_t *high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(high)), 1);
}

template <typename T> __attribute__((target("avx2"))) __m256i constants2x16(const T &low, const T &high) {
    return load2x16(reinterpret_cast<const uint8_t *>(low.data()),
                    reinterpret_cast<const uint8_t *>(high.data()));
}

template <bool Stream>
__attribute__((target("avx2"))) void buildRow10BitAvx2(uint8_t *row, const uint8_t *leading,
                                                       const uint8_t *other) {
    static_assert(payload::kWordsPerLine10Bit % 16 == 0);
    constexpr size_t kLaneChunk[6] = {0, 1, 2, 0, 1, 2};
    __m256i gather[3], leadingMultiplier[3], otherMultiplier[3];
    for (size_t v = 0; v < 3; ++v) {
        const ChunkConstants &low = kChunks[kLaneChunk[2 * v]];
        const ChunkConstants &high = kChunks[kLaneChunk[2 * v + 1]];
        gather[v] = constants2x16(low.gather, high.gather);
        leadingMultiplier[v] = constants2x16(low.leadingMultiplier, high.leadingMultiplier);
        otherMultiplier[v] = constants2x16(low.otherMultiplier, high.otherMultiplier);
    }
    // Byte offsets of the lanes' 16 bytes from the first word of the two groups.
    constexpr size_t kLaneBytes[6] = {0, 8, 16, 32, 40, 48};
    const __m256i highBytes = _mm256_set1_epi16(int16_t(0xFF00));
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; w += 16) {
        for (size_t v = 0; v < 3; ++v) {
            const size_t low = 4 * w + kLaneBytes[2 * v];
            const size_t high = 4 * w + kLaneBytes[2 * v + 1];
            const __m256i lead =
                _mm256_mulhi_epu16(_mm256_shuffle_epi8(load2x16(leading + low, leading + high), gather[v]),
                                   leadingMultiplier[v]);
            const __m256i oth = _mm256_mullo_epi16(
                _mm256_shuffle_epi8(load2x16(other + low, other + high), gather[v]), otherMultiplier[v]);
            const __m256i bytes = _mm256_blendv_epi8(lead, oth, highBytes);
            store16<Stream>(row + 6 * w + 32 * v, _mm256_castsi256_si128(bytes));
            store16<Stream>(row + 6 * w + 32 * v + 16, _mm256_extracti128_si256(bytes, 1));
        }
    }
}

// The 10-bit rule with 64-byte vectors: sixteen words of each line at a time. A multishift picks the six
// payload bytes of each word pair (its bits 0, 10, 20, 32, 42 and 52) into bytes 0 to 5 of the pair's
// eight; a two-source byte permute interleaves the two lines' bytes into the 96 output bytes. The masked
// forms with all lanes selected stand for the plain ones, whose headers trip the compiler's warning on
// undefined vectors.
constexpr std::array<uint8_t, 64> kPairFieldBits = [] {
    constexpr uint8_t kFieldBits[8] = {0, 10, 20, 32, 42, 52, 0, 0};
    std::array<uint8_t, 64> bits{};
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = kFieldBits[i % 8];
    return bits;
}();

// Output byte n: sample n / 2 of the 48, from the leading line (permute sources 0 to 63) when n is even,
// from the other line (64 to 127) when odd. Bytes 96 to 127 are not stored.
constexpr std::array<uint8_t, 128> kInterleave = [] {
    std::array<uint8_t, 128> order{};
    for (size_t n = 0; n < 96; ++n) {
        const size_t sample = n / 2;
        order[n] = uint8_t(8 * (sample / 6) + sample % 6 + (n % 2 == 1 ? 64 : 0));
    }
    return order;
}();

template <bool Stream>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void
buildRow10BitAvx512(uint8_t *row, const uint8_t *leading, const uint8_t *other) {
    static_assert(payload::kWordsPerLine10Bit % 16 == 0);
    constexpr __mmask64 kAll = ~__mmask64(0);
    const __m512i fieldBits = _mm512_loadu_si512(kPairFieldBits.data());
    const __m512i firstOrder = _mm512_loadu_si512(kInterleave.data());
    const __m512i secondOrder = _mm512_loadu_si512(kInterleave.data() + 64);
    for (size_t w = 0; w < payload::kWordsPerLine10Bit; w += 16) {
        const __m512i lead =
            _mm512_maskz_multishift_epi64_epi8(kAll, fieldBits, _mm512_loadu_si512(leading + 4 * w));
        const __m512i oth =
            _mm512_maskz_multishift_epi64_epi8(kAll, fieldBits, _mm512_loadu_si512(other + 4 * w));
        const __m512i first = _mm512_permutex2var_epi8(lead, firstOrder, oth);
        const __m512i second = _mm512_permutex2var_epi8(lead, secondOrder, oth);
        uint8_t *out = row + 6 * w;
        store16<Stream>(out, _mm512_maskz_extracti32x4_epi32(0xF, first, 0));
        store16<Stream>(out + 16, _mm512_maskz_extracti32x4_epi32(0xF, first, 1));
        store16<Stream>(out + 32, _mm512_maskz_extracti32x4_epi32(0xF, first, 2));
        store16<Stream>(out + 48, _mm512_maskz_extracti32x4_epi32(0xF, first, 3));
        store16<Stream>(out + 64, _mm512_maskz_extracti32x4_epi32(0xF, second, 0));
        store16<Stream>(out + 80, _mm512_maskz_extracti32x4_epi32(0xF, second, 1));
    }
}

#endif

// The row builder for the rule; stream asks for streamed stores (rows 16-byte aligned), which a caller
// ends with streamed().
RowBuilder rowBuilder(bool eightBit, bool stream) {
#if defined(VANTREL_X86)
    const simd::Level level = simd::level();
    if (level >= simd::Level::Avx512 && !eightBit)
        return stream ? buildRow10BitAvx512<true> : buildRow10BitAvx512<false>;
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
