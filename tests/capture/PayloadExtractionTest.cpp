#include "capture/PayloadExtraction.h"

#include "capture/PayloadFormat.h"
#include "platform/srmodule/PayloadEmbedding.h"
#include "tests/support/RandomBytes.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <utility>
#include <vector>

namespace {

using namespace payload;

std::vector<uint8_t> extract(const std::vector<uint8_t> &pictures, bool eightBit) {
    std::vector<uint8_t> block(kBlockSize);
    EXPECT_EQ(ExtractPayload(block.data(), pictures.data(), pictures.data() + lineBytes(eightBit), eightBit),
              kBlockSize);
    return block;
}

// Byte j of line `line` of picture A (0) or B (1), 8-bit.
size_t at8(int picture, size_t line, size_t j) {
    return size_t(picture) * kPictureBytes8Bit + line * kLineBytes8Bit + j;
}

TEST(PayloadExtraction, IndexSizeBytesComeFromLineOneThenLineZeroOfPictureA) {
    std::vector<uint8_t> pictures(picturePairBytes(true));
    pictures[at8(0, 1, 0)] = 0x12;
    pictures[at8(0, 0, 0)] = 0x34;
    pictures[at8(0, 1, 1)] = 0x56;
    pictures[at8(0, 0, 1)] = 0x78;
    const std::vector<uint8_t> block = extract(pictures, true);
    EXPECT_EQ(block[0], 0x12);
    EXPECT_EQ(block[1], 0x34);
    EXPECT_EQ(block[2], 0x56);
    EXPECT_EQ(block[3], 0x78);
}

TEST(PayloadExtraction, PictureALeadsWithOddLinesAndPictureBWithEvenLines) {
    std::vector<uint8_t> pictures(picturePairBytes(true));
    // Rows 539 and 540: the last row of picture A (lines 1,078 and 1,079) and the first of B (lines 0, 1).
    pictures[at8(0, 1079, 5)] = 0xA1; // leading line of row 539
    pictures[at8(0, 1078, 5)] = 0xA0;
    pictures[at8(1, 0, 7)] = 0xB0; // leading line of row 540
    pictures[at8(1, 1, 7)] = 0xB1;
    pictures[at8(1, 1078, 3839)] = 0xC0; // leading line of row 1,079, last byte
    pictures[at8(1, 1079, 3839)] = 0xC1;
    const std::vector<uint8_t> block = extract(pictures, true);
    EXPECT_EQ(block[539 * kRowBytes + 10], 0xA1);
    EXPECT_EQ(block[539 * kRowBytes + 11], 0xA0);
    EXPECT_EQ(block[540 * kRowBytes + 14], 0xB0);
    EXPECT_EQ(block[540 * kRowBytes + 15], 0xB1);
    EXPECT_EQ(block[kBlockSize - 2], 0xC0);
    EXPECT_EQ(block[kBlockSize - 1], 0xC1);
}

TEST(PayloadExtraction, SameValueInOddLineOfAAndEvenLineOfBLandsAtEvenPositions) {
    std::vector<uint8_t> pictures(picturePairBytes(true));
    pictures[at8(0, 2 * 100 + 1, 9)] = 0x5A;
    pictures[at8(1, 2 * 100, 9)] = 0x5A;
    const std::vector<uint8_t> block = extract(pictures, true);
    EXPECT_EQ(block[100 * kRowBytes + 18], 0x5A);
    EXPECT_EQ(block[640 * kRowBytes + 18], 0x5A);
    EXPECT_EQ(std::count(block.begin(), block.end(), 0x5A), 2);
}

// 10-bit: word w of line `line` of picture A (0) or B (1).
void putWord10(std::vector<uint8_t> &pictures, int picture, size_t line, size_t w, uint32_t word) {
    const size_t offset = size_t(picture) * kPictureBytes10Bit + line * kLineBytes10Bit + 4 * w;
    for (size_t i = 0; i < 4; ++i)
        pictures[offset + i] = uint8_t(word >> (8 * i));
}

TEST(PayloadExtraction, TenBitRuleTakesLowEightBitsOfEachSampleAlternatingLines) {
    std::vector<uint8_t> pictures(picturePairBytes(false));
    putWord10(pictures, 0, 1, 2, 0x11u | 0x22u << 10 | 0x33u << 20); // row 0 leading line, word 2
    putWord10(pictures, 0, 0, 2, 0x44u | 0x55u << 10 | 0x66u << 20);
    putWord10(pictures, 1, 0, 1279, 0x77u | 0x88u << 10 | 0x99u << 20); // row 540 leading line, last word
    putWord10(pictures, 1, 1, 1279, 0xAAu | 0xBBu << 10 | 0xCCu << 20);
    const std::vector<uint8_t> block = extract(pictures, false);
    const std::vector<uint8_t> row0(block.begin() + 12, block.begin() + 18);
    EXPECT_EQ(row0, (std::vector<uint8_t>{0x11, 0x44, 0x22, 0x55, 0x33, 0x66}));
    const size_t last = 540 * kRowBytes + 6 * 1279;
    const std::vector<uint8_t> row540(block.begin() + long(last), block.begin() + long(last) + 6);
    EXPECT_EQ(row540, (std::vector<uint8_t>{0x77, 0xAA, 0x88, 0xBB, 0x99, 0xCC}));
}

TEST(PayloadExtraction, TenBitRuleIgnoresTheUpperTwoBitsOfSamplesAndTheTopTwoBitsOfWords) {
    std::vector<uint8_t> pictures = randomBytes(picturePairBytes(false), 7);
    const std::vector<uint8_t> before = extract(pictures, false);
    std::mt19937 random(8);
    constexpr uint32_t kIgnoredBits = 0x3u << 8 | 0x3u << 18 | 0xFu << 28;
    for (size_t i = 0; i < pictures.size(); i += 4) {
        const uint32_t noise = uint32_t(random()) & kIgnoredBits;
        for (size_t b = 0; b < 4; ++b)
            pictures[i + b] ^= uint8_t(noise >> (8 * b));
    }
    EXPECT_EQ(extract(pictures, false), before);
}

// A pair of pictures carrying a block whose index size is indexSize. The rest of the block and the pictures
// are random bytes, made once: only the first row counts here.
std::vector<uint8_t> picturesWithIndexSize(uint32_t indexSize, bool eightBit) {
    static const std::vector<uint8_t> randomBlock = randomBytes(kBlockSize, 98);
    static const std::vector<uint8_t> randomPictures[2] = {randomBytes(picturePairBytes(false), 99),
                                                           randomBytes(picturePairBytes(true), 99)};
    std::vector<uint8_t> block = randomBlock;
    for (size_t i = 0; i < 4; ++i)
        block[i] = uint8_t(indexSize >> (8 * (3 - i)));
    std::vector<uint8_t> pictures = randomPictures[eightBit ? 1 : 0];
    EXPECT_TRUE(EmbedPayload(block, pictures, eightBit));
    return pictures;
}

TEST(PayloadExtraction, FirstBlockCheckAcceptsOneToNineteenIndexEntries) {
    for (bool eightBit : {true, false}) {
        for (uint32_t size : {0u, 1u, 3u, 4u, 19u, 324u, 0xFFFFFFFFu, 0x14000000u})
            EXPECT_FALSE(IsValidFrame(picturesWithIndexSize(size, eightBit).data(), eightBit))
                << size << (eightBit ? " 8-bit" : " 10-bit");
        for (uint32_t size : {20u, 35u, 36u, 323u})
            EXPECT_TRUE(IsValidFrame(picturesWithIndexSize(size, eightBit).data(), eightBit))
                << size << (eightBit ? " 8-bit" : " 10-bit");
    }
}

TEST(PayloadExtraction, FirstBlockCheckFailsWhenLineZeroLeadsTheFirstRow) {
    // Index size 20 (00 00 00 14) placed as if line 0 led: read back with its bytes swapped in pairs.
    std::vector<uint8_t> pictures(picturePairBytes(true));
    pictures[at8(0, 0, 1)] = 0x00;
    pictures[at8(0, 1, 1)] = 0x14;
    EXPECT_FALSE(IsValidFrame(pictures.data(), true));
    std::swap(pictures[at8(0, 0, 1)], pictures[at8(0, 1, 1)]);
    EXPECT_TRUE(IsValidFrame(pictures.data(), true));
}

} // namespace
