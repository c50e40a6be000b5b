#include "platform/srmodule/BlockWriter.h"

#include "capture/PayloadFormat.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace payload;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBlock = 32 * 1024;

Bytes slice(const Bytes &bytes, size_t offset, size_t count) {
    return Bytes(bytes.begin() + long(offset), bytes.begin() + long(offset + count));
}

TEST(BlockWriter, WritesTheIndexBigEndianAheadOfTheElements) {
    BlockWriter writer(0, 3, kBlock);
    EXPECT_EQ(writer.position(), indexSize(3));
    ASSERT_TRUE(writer.addSound(2, 0x0102, Bytes{0xA1, 0xA2, 0xA3}, 0x5E));
    ASSERT_TRUE(writer.addData(std::vector<Bytes>{{0xD1}}, 24));
    const Bytes block = writer.finish();
    ASSERT_EQ(block.size(), kBlock);

    const Bytes expectedIndex = {
        0x00, 0x00, 0x00, 0x24,                         // two entries: 4 + 32 bytes
        0x00, 0x00, 0x00, 0x22, 0x00, 0x00, 0x01, 0x02, // type 34, value 0x102
        0x00, 0x00, 0x00, 0x34, 0x5E, 0x00, 0x00, 0x13, // offset 52, tag 0x5E, length 16 + 3
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, // data, one item
        0x00, 0x00, 0x00, 0x4B, 0x00, 0x00, 0x00, 0x18, // offset 52 + 4 + 19 = 75, 24 bytes
    };
    EXPECT_EQ(slice(block, 0, expectedIndex.size()), expectedIndex);
    EXPECT_EQ(slice(block, 52, 4), (Bytes{0x00, 0x00, 0x01, 0x02})); // the field before the payload
    EXPECT_EQ(slice(block, 52 + 4 + 16, 3), (Bytes{0xA1, 0xA2, 0xA3}));

    Bytes item(kDataItemKey.begin(), kDataItemKey.end());
    item.insert(item.end(), {0x83, 0x00, 0x00, 0x01, 0xD1, 0x00, 0x00, 0x00});
    EXPECT_EQ(slice(block, 75, 24), item);
}

TEST(BlockWriter, LaysOutPictureElementsWithLeadInKeyLengthAndTrailer) {
    for (uint32_t quality : {0u, 2u}) {
        BlockWriter writer(quality, 1, kBlock);
        const uint32_t p = writer.position();
        ASSERT_TRUE(writer.beginPictureRegion(false));
        ASSERT_TRUE(writer.addPicture(0x10203040, Bytes(300, 0x77)));
        EXPECT_EQ(writer.position(), p + 300 + 1480 + trailerExtra(quality));
        ASSERT_TRUE(writer.endPictureRegion());
        const Bytes block = writer.finish();

        const uint32_t regionSize = 1780 + trailerExtra(quality); // 0x6F4 or 0x710
        EXPECT_EQ(slice(block, 4, 16), (Bytes{0, 0, 0, 64, 0, 0, 0, 1, 0, 0, 0, uint8_t(p), 0, 0,
                                              uint8_t(regionSize >> 8), uint8_t(regionSize)}));
        EXPECT_EQ(slice(block, p, 4), (Bytes{0x10, 0x20, 0x30, 0x40}));
        EXPECT_EQ(slice(block, p + 1024, 16), Bytes(kPictureKey.begin(), kPictureKey.end()));
        EXPECT_EQ(slice(block, p + 1040, 4), (Bytes{0x83, 0x00, 0x01, 0x2C}));
        EXPECT_EQ(slice(block, p + 1044, 300), Bytes(300, 0x77));
        EXPECT_EQ(slice(block, p + 1344, trailerBytes(quality)), Bytes(trailerBytes(quality), 0));
    }
}

TEST(BlockWriter, CutsAPictureAtTheBlockEndAndRegionRunsThere) {
    BlockWriter writer(0, 1, kBlock);
    ASSERT_TRUE(writer.padTo(kBlock - kPictureHeaderBytes - 100));
    ASSERT_TRUE(writer.beginPictureRegion(true));
    const Bytes picture(5000, 0x42);
    EXPECT_EQ(writer.addCutPicture(9, picture), 100u);
    EXPECT_EQ(writer.remaining(), 0u);
    ASSERT_TRUE(writer.endPictureRegion());
    const Bytes block = writer.finish();
    EXPECT_EQ(slice(block, kBlock - 103, 3), (Bytes{0x00, 0x13, 0x88})); // the whole picture's length
    EXPECT_EQ(slice(block, 4, 8), (Bytes{0, 0, 0, 64, 0, 0, 0, 0}));     // value 0: a continuation first
    EXPECT_EQ(slice(block, 16, 4), (Bytes{0, 0, 0x04, 0x78}));           // region to the block end: 1,144
}

TEST(BlockWriter, RefusesCutsThatLeaveNoPictureByteOnEitherSide) {
    BlockWriter headerOnly(0, 1, kBlock);
    ASSERT_TRUE(headerOnly.padTo(kBlock - kPictureHeaderBytes));
    EXPECT_EQ(headerOnly.addCutPicture(1, Bytes(100, 1)), 0u);
    EXPECT_EQ(headerOnly.position(), kBlock - kPictureHeaderBytes);

    BlockWriter wholeFits(0, 1, kBlock);
    ASSERT_TRUE(wholeFits.padTo(kBlock - kPictureHeaderBytes - 100));
    EXPECT_EQ(wholeFits.addCutPicture(1, Bytes(100, 1)), 0u); // the picture fits, only the trailer would not
    EXPECT_FALSE(wholeFits.addPicture(1, Bytes(100, 1)));
    EXPECT_EQ(wholeFits.remaining(), kPictureHeaderBytes + 100);
}

TEST(BlockWriter, RefusesWhatDoesNotFit) {
    BlockWriter writer(0, 2, kBlock);
    EXPECT_FALSE(writer.addSound(16, 1, Bytes(3)));
    EXPECT_FALSE(writer.addSound(0, 1, Bytes(kBlock)));
    EXPECT_FALSE(writer.addData(std::vector<Bytes>{Bytes(10)}, 29)); // 20 + 10 bytes need a stride of 30
    EXPECT_FALSE(writer.padTo(kBlock + 1));
    EXPECT_FALSE(writer.endPictureRegion()); // none open
    EXPECT_EQ(writer.position(), indexSize(2));
    ASSERT_TRUE(writer.addIndexEntry({}));
    ASSERT_TRUE(writer.addIndexEntry({}));
    EXPECT_FALSE(writer.addIndexEntry({})); // room for two entries only
    EXPECT_FALSE(writer.addSound(0, 1, Bytes(3)));
}

} // namespace
