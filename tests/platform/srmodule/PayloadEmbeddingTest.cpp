#include "platform/srmodule/PayloadEmbedding.h"

#include "capture/PayloadExtraction.h"
#include "capture/PayloadFormat.h"
#include "tests/support/RandomBytes.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace payload;

TEST(PayloadEmbedding, ExtractingAnEmbeddedRandomBlockGivesItBackAtBothDepths) {
    for (bool eightBit : {true, false}) {
        for (uint32_t seed : {1u, 2u}) {
            const std::vector<uint8_t> block = randomBytes(kBlockSize, seed);
            // Pictures start out random: in 10-bit pictures the bits without payload keep noise.
            std::vector<uint8_t> pictures = randomBytes(picturePairBytes(eightBit), seed + 100);
            ASSERT_TRUE(EmbedPayload(block, pictures, eightBit));
            std::vector<uint8_t> extracted(kBlockSize);
            ExtractPayload(extracted.data(), pictures.data(), pictures.data() + lineBytes(eightBit),
                           eightBit);
            EXPECT_EQ(extracted, block) << (eightBit ? "8-bit" : "10-bit") << " seed " << seed;
        }
    }
}

TEST(PayloadEmbedding, TenBitEmbeddingKeepsTheBitsThatCarryNoPayload) {
    const std::vector<uint8_t> block = randomBytes(kBlockSize, 3);
    const std::vector<uint8_t> before = randomBytes(picturePairBytes(false), 4);
    std::vector<uint8_t> pictures = before;
    ASSERT_TRUE(EmbedPayload(block, pictures, false));
    constexpr uint32_t kNoPayload = 0x3u << 8 | 0x3u << 18 | 0xFu << 28;
    auto word = [](const std::vector<uint8_t> &bytes, size_t i) {
        return uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8 | uint32_t(bytes[i + 2]) << 16 |
               uint32_t(bytes[i + 3]) << 24;
    };
    for (size_t i = 0; i < pictures.size(); i += 4)
        ASSERT_EQ(word(pictures, i) & kNoPayload, word(before, i) & kNoPayload) << i;
}

TEST(PayloadEmbedding, EightBitRowZeroLeadsWithLineOne) {
    std::vector<uint8_t> block(kBlockSize);
    block[0] = 0xAA;
    block[1] = 0xBB;
    block[kRowBytes * 540] = 0xCC;
    block[kRowBytes * 540 + 1] = 0xDD;
    std::vector<uint8_t> pictures(picturePairBytes(true));
    ASSERT_TRUE(EmbedPayload(block, pictures, true));
    EXPECT_EQ(pictures[kLineBytes8Bit], 0xAA);                     // line 1 of A
    EXPECT_EQ(pictures[0], 0xBB);                                  // line 0 of A
    EXPECT_EQ(pictures[kPictureBytes8Bit], 0xCC);                  // line 0 of B
    EXPECT_EQ(pictures[kPictureBytes8Bit + kLineBytes8Bit], 0xDD); // line 1 of B
}

TEST(PayloadEmbedding, RefusesWrongSizesWithoutWriting) {
    const std::vector<uint8_t> block(kBlockSize, 0x55);
    std::vector<uint8_t> pictures(picturePairBytes(true));
    EXPECT_FALSE(EmbedPayload(std::span(block).first(kBlockSize - 1), pictures, true));
    EXPECT_FALSE(EmbedPayload(block, pictures, false)); // an 8-bit pair is too small for 10-bit
    EXPECT_FALSE(EmbedPayload(block, std::span(pictures).first(pictures.size() - 1), true));
    EXPECT_EQ(std::count(pictures.begin(), pictures.end(), 0), long(pictures.size()));
}

} // namespace
