#include "capture/FrameIndex.h"

#include "bytes/ByteReader.h"
#include "capture/PayloadFormat.h"
#include "platform/srmodule/BlockWriter.h"
#include "tests/capture/FrameIndexBounds.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using namespace payload;

constexpr uint32_t kSmallBlock = 64 * 1024;

// Picture bytes that never contain the picture key.
std::vector<uint8_t> pictureBytes(size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = uint8_t(seed + 3 * i);
    return bytes;
}

std::unique_ptr<FrameIndex> parse(const std::vector<uint8_t> &block, uint32_t quality,
                                  std::unique_ptr<FrameIndex> record = nullptr) {
    auto result = ParseFrameIndex(block.data(), uint32_t(block.size()), std::move(record), quality);
    if (result) {
        EXPECT_TRUE(recordLiesInsideBlock(*result, block.data(), block.size()));
    }
    return result;
}

uint32_t timeCodeOf(const VideoElement &element) {
    ByteReader reader(element.start, 4);
    uint32_t timeCode = 0;
    reader.readU32BE(timeCode);
    return timeCode;
}

bool holds(const VideoElement &element, const std::vector<uint8_t> &bytes) {
    return element.length == int32_t(bytes.size()) && std::equal(bytes.begin(), bytes.end(), element.payload);
}

void setIndexSize(std::vector<uint8_t> &block, uint32_t size) {
    for (size_t i = 0; i < 4; ++i)
        block[i] = uint8_t(size >> (8 * (3 - i)));
}

// --- Index size
// -----------------------------------------------------------------------------------------------

TEST(FrameIndex, RefusesIndexSizesZeroAndFrom512) {
    BlockWriter writer(0, 1, kSmallBlock);
    std::vector<uint8_t> block = writer.finish();
    for (uint32_t size : {0u, 512u, 0xFFFFFFFFu}) {
        setIndexSize(block, size);
        EXPECT_EQ(parse(block, 0, std::make_unique<FrameIndex>()), nullptr) << size;
    }
}

TEST(FrameIndex, RefusesIndexSizesBelowTwentyAndAcceptsOneEntry) {
    std::vector<uint8_t> samples(30, 0x44);
    BlockWriter writer(0, 1, kSmallBlock);
    ASSERT_TRUE(writer.addSound(0, 10, samples));
    std::vector<uint8_t> block = writer.finish();

    setIndexSize(block, 19);
    EXPECT_EQ(parse(block, 0, std::make_unique<FrameIndex>()), nullptr);
    setIndexSize(block, 4);
    EXPECT_EQ(parse(block, 0), nullptr);

    setIndexSize(block, 20);
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->valid, 1);
    EXPECT_EQ(record->block, block.data());
    EXPECT_EQ(record->sound[0].value, 10u);
}

TEST(FrameIndex, ReusesAndClearsTheRecordItIsGiven) {
    BlockWriter writer(0, 1, kSmallBlock);
    ASSERT_TRUE(writer.beginPictureRegion(false));
    ASSERT_TRUE(writer.addPicture(1, pictureBytes(500, 1)));
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> withPicture = writer.finish();
    BlockWriter emptyWriter(0, 1, kSmallBlock);
    ASSERT_TRUE(emptyWriter.addIndexEntry({99, 0, 0, 0})); // one entry of a type that is skipped
    const std::vector<uint8_t> empty = emptyWriter.finish();

    auto record = parse(withPicture, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->pictureCount, 1u);
    FrameIndex *const given = record.get();
    auto reused = parse(empty, 0, std::move(record));
    ASSERT_EQ(reused.get(), given);
    EXPECT_EQ(reused->pictureCount, 0u);
    EXPECT_EQ(reused->pictures[0].payload, nullptr);
    ReleaseFrameIndex(reused);
    EXPECT_EQ(reused, nullptr);
}

// --- Sound and data
// ------------------------------------------------------------------------------------------

TEST(FrameIndex, FillsSoundSlotsByTypeAndLetsALaterEntryOverwrite) {
    const std::vector<uint8_t> first(3 * 100, 0x11), second(3 * 200, 0x22), last(3 * 50, 0x33);
    BlockWriter writer(0, 4, kSmallBlock);
    ASSERT_TRUE(writer.addSound(0, 100, first, 0x7A));
    ASSERT_TRUE(writer.addSound(0, 200, second, 0x7B));
    ASSERT_TRUE(writer.addSound(15, 50, last));
    ASSERT_TRUE(writer.addIndexEntry({48, 9, 100, 100})); // not a sound type: skipped
    const std::vector<uint8_t> block = writer.finish();

    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    const IndexElement &zero = record->sound[0];
    EXPECT_EQ(zero.type, 32u);
    EXPECT_EQ(zero.value, 200u);
    EXPECT_EQ(zero.tag, 0x7B);
    EXPECT_EQ(zero.length, kSoundHeaderBytes + second.size());
    EXPECT_EQ(zero.start, block.data() + indexSize(4) + kSoundFieldBytes + kSoundHeaderBytes + first.size());
    EXPECT_EQ(zero.payload, zero.start + 4);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), zero.payload + kSoundHeaderBytes));
    EXPECT_EQ(record->sound[15].type, 47u);
    EXPECT_EQ(record->sound[15].value, 50u);
    for (int slot = 1; slot < 15; ++slot)
        EXPECT_EQ(record->sound[slot].start, nullptr) << slot;
}

TEST(FrameIndex, DataElementItemsAreReadAtTheirStride) {
    const std::vector<std::vector<uint8_t>> items = {{1, 2, 3}, {}, std::vector<uint8_t>(40, 9)};
    BlockWriter writer(0, 1, kSmallBlock);
    ASSERT_TRUE(writer.addData(items, 64));
    const std::vector<uint8_t> block = writer.finish();

    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->data.start, nullptr);
    EXPECT_EQ(record->data.value, 3u);
    EXPECT_EQ(record->data.length, 192u);
    EXPECT_EQ(record->data.payload, block.data() + indexSize(1));
    for (size_t i = 0; i < items.size(); ++i) {
        const uint8_t *item = record->data.payload + 64 * i;
        EXPECT_EQ(GetDataItemLength(item, record->data.length - 64 * i), items[i].size()) << i;
    }
    EXPECT_EQ(record->data.payload[64 * 2 + kDataItemHeaderBytes], 9);
}

TEST(FrameIndex, DataItemLengthNeverReadsPastWhatItIsGiven) {
    std::vector<uint8_t> item(kDataItemKey.begin(), kDataItemKey.end());
    item.insert(item.end(), {0x83, 0x00, 0x00, 0x05, 1, 2, 3, 4, 5});
    EXPECT_EQ(GetDataItemLength(item.data(), item.size()), 5u);
    EXPECT_EQ(GetDataItemLength(item.data(), item.size() - 1), 0u); // data runs past what is given
    EXPECT_EQ(GetDataItemLength(item.data(), kDataItemHeaderBytes - 1), 0u);
    EXPECT_EQ(GetDataItemLength(item.data(), 0), 0u);
    EXPECT_EQ(GetDataItemLength(nullptr, 100), 0u);
    item[16] = 0x82;
    EXPECT_EQ(GetDataItemLength(item.data(), item.size()), 0u);
    item[16] = 0x83;
    item[12] = 0x15; // the picture key's byte
    EXPECT_EQ(GetDataItemLength(item.data(), item.size()), 0u);
}

// --- Picture regions
// -----------------------------------------------------------------------------------------

TEST(FrameIndex, TwoWholeElementsLie2480PlusXApart) {
    for (uint32_t quality : {0u, 1u, 2u}) {
        const std::vector<uint8_t> a = pictureBytes(1000, 1), b = pictureBytes(1000, 2);
        BlockWriter writer(quality, 1);
        ASSERT_TRUE(writer.beginPictureRegion(false));
        ASSERT_TRUE(writer.addPicture(0x01020304, a));
        ASSERT_TRUE(writer.addPicture(0x01020305, b));
        ASSERT_TRUE(writer.endPictureRegion());
        const std::vector<uint8_t> block = writer.finish();

        auto record = parse(block, quality);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->pictureCount, 2u);
        const VideoElement &first = record->pictures[0], &second = record->pictures[1];
        EXPECT_EQ(first.start, block.data() + indexSize(1));
        EXPECT_EQ(first.key, first.start + 1024);
        EXPECT_EQ(first.payload, first.start + 1044);
        EXPECT_EQ(second.start - first.start, 2480 + trailerExtra(quality));
        EXPECT_EQ(first.kind, VideoElement::kComplete);
        EXPECT_EQ(second.kind, VideoElement::kComplete);
        EXPECT_TRUE(holds(first, a));
        EXPECT_TRUE(holds(second, b));
        EXPECT_EQ(timeCodeOf(first), 0x01020304u);
        EXPECT_EQ(timeCodeOf(second), 0x01020305u);
    }
}

TEST(FrameIndex, ContinuationRunsFromRegionStartToTheFirstTrailer) {
    for (uint32_t quality : {0u, 2u}) {
        const std::vector<uint8_t> rest = pictureBytes(5000, 3), whole = pictureBytes(1000, 4);
        BlockWriter writer(quality, 1);
        ASSERT_TRUE(writer.beginPictureRegion(true));
        ASSERT_TRUE(writer.addContinuation(rest));
        ASSERT_TRUE(writer.addPicture(7, whole));
        ASSERT_TRUE(writer.endPictureRegion());
        const std::vector<uint8_t> block = writer.finish();

        auto record = parse(block, quality);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->pictureCount, 2u);
        const VideoElement &continuation = record->pictures[0];
        EXPECT_EQ(continuation.kind, VideoElement::kContinuation);
        EXPECT_EQ(continuation.start, nullptr);
        EXPECT_EQ(continuation.key, nullptr);
        EXPECT_EQ(continuation.payload, block.data() + indexSize(1));
        EXPECT_TRUE(holds(continuation, rest));
        EXPECT_EQ(record->pictures[1].start, continuation.payload + 5000 + trailerBytes(quality));
        EXPECT_EQ(record->pictures[1].kind, VideoElement::kComplete);
        EXPECT_TRUE(holds(record->pictures[1], whole));
    }
}

TEST(FrameIndex, ContinuationIsEmptyWhenTheFirstKeyLiesCloserThanATrailer) {
    BlockWriter writer(0, 1, kSmallBlock);
    ASSERT_TRUE(writer.beginPictureRegion(true));
    ASSERT_TRUE(writer.addPicture(7, pictureBytes(1000, 4)));
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->pictureCount, 2u);
    EXPECT_EQ(record->pictures[0].kind, VideoElement::kContinuation);
    EXPECT_EQ(record->pictures[0].length, 0);
    EXPECT_EQ(record->pictures[1].kind, VideoElement::kComplete);
    EXPECT_EQ(record->pictures[1].length, 1000);
}

TEST(FrameIndex, KeySearchComparesBlockPositionWithRegionLength) {
    // The search runs while the position is below R - 4: a region that starts late and holds only a
    // continuation and one element does not find the element's key.
    BlockWriter writer(0, 1, kSmallBlock);
    ASSERT_TRUE(writer.padTo(4000));
    ASSERT_TRUE(writer.beginPictureRegion(true));
    ASSERT_TRUE(writer.addContinuation(pictureBytes(600, 5)));
    ASSERT_TRUE(writer.addPicture(7, pictureBytes(1000, 6)));
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->pictureCount, 1u);
    EXPECT_EQ(record->pictures[0].kind, VideoElement::kContinuation);
    EXPECT_EQ(record->pictures[0].length, 0);
}

TEST(FrameIndex, RegionLengthBelowFourDoesNotWidenTheSearch) {
    for (uint32_t regionLength : {0u, 3u, 4u, 1000000u}) {
        BlockWriter writer(0, 1, kSmallBlock);
        const uint32_t p = writer.position();
        ASSERT_TRUE(writer.addPicture(9, pictureBytes(1000, 7)));
        ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 0, p, regionLength}));
        const std::vector<uint8_t> block = writer.finish();
        auto record = parse(block, 0);
        ASSERT_NE(record, nullptr);
        if (regionLength == 1000000u) {
            EXPECT_EQ(record->pictureCount, 2u); // found: an empty continuation, then the element
        } else {
            ASSERT_EQ(record->pictureCount, 1u) << regionLength;
            EXPECT_EQ(record->pictures[0].length, 0);
        }
    }
}

TEST(FrameIndex, CutElementIsMeasuredToTheBlockEnd) {
    BlockWriter writer(2, 1, kSmallBlock);
    ASSERT_TRUE(writer.beginPictureRegion(false));
    for (uint8_t i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.addPicture(i, pictureBytes(1000, i)));
    const std::vector<uint8_t> big = pictureBytes(100000, 9);
    const uint32_t inBlock = writer.addCutPicture(3, big);
    ASSERT_GT(inBlock, 0u);
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> block = writer.finish();

    auto record = parse(block, 2);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->pictureCount, 4u);
    const VideoElement &cut = record->pictures[3];
    EXPECT_EQ(cut.kind, VideoElement::kCut);
    EXPECT_EQ(cut.length, int32_t(inBlock));
    EXPECT_EQ(cut.payload + cut.length, block.data() + block.size());
    EXPECT_EQ(timeCodeOf(cut), 3u);
    EXPECT_TRUE(std::equal(cut.payload, cut.payload + cut.length, big.begin()));
    EXPECT_EQ(record->pictures[2].kind, VideoElement::kComplete);
}

TEST(FrameIndex, ElementPassingTheRegionEndIsMeasuredToTheBlockEndNotTheRegionEnd) {
    BlockWriter writer(0, 1, kSmallBlock);
    const uint32_t p = writer.position();
    ASSERT_TRUE(writer.addPicture(1, pictureBytes(1000, 1)));
    ASSERT_TRUE(writer.addPicture(2, pictureBytes(1000, 2))); // outside the region
    ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 1, p, 1500}));
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->pictureCount, 1u);
    EXPECT_EQ(record->pictures[0].kind, VideoElement::kCut);
    EXPECT_EQ(record->pictures[0].length, int32_t(kSmallBlock - p - kPictureHeaderBytes));
}

TEST(FrameIndex, LastElementShorterThanItsPredecessorIsCutOnlyFromThreeElements) {
    for (size_t count : {2u, 3u}) {
        BlockWriter writer(0, 1, kSmallBlock);
        ASSERT_TRUE(writer.beginPictureRegion(false));
        for (size_t i = 0; i + 1 < count; ++i)
            ASSERT_TRUE(writer.addPicture(0, pictureBytes(1000, 1)));
        ASSERT_TRUE(writer.addPicture(0, pictureBytes(600, 2)));
        ASSERT_TRUE(writer.endPictureRegion());
        const std::vector<uint8_t> block = writer.finish();
        auto record = parse(block, 0);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(record->pictureCount, count);
        EXPECT_EQ(record->pictures[count - 1].length, 600);
        EXPECT_EQ(record->pictures[count - 1].kind,
                  count == 3 ? uint32_t(VideoElement::kCut) : uint32_t(VideoElement::kComplete));
    }
}

TEST(FrameIndex, WalkStopsQuietlyAtTenElements) {
    BlockWriter writer(0, 1, kSmallBlock);
    ASSERT_TRUE(writer.beginPictureRegion(true));
    ASSERT_TRUE(writer.addContinuation(pictureBytes(100, 1)));
    for (uint32_t i = 0; i < 12; ++i)
        ASSERT_TRUE(writer.addPicture(i, pictureBytes(100, uint8_t(i))));
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->valid, 1);
    ASSERT_EQ(record->pictureCount, 10u);
    EXPECT_EQ(record->pictures[0].kind, VideoElement::kContinuation);
    EXPECT_EQ(timeCodeOf(record->pictures[9]), 8u);
}

TEST(FrameIndex, PictureCountRunsOnAcrossRegions) {
    BlockWriter writer(0, 3, kSmallBlock);
    ASSERT_TRUE(writer.beginPictureRegion(false));
    ASSERT_TRUE(writer.addPicture(1, pictureBytes(800, 1)));
    ASSERT_TRUE(writer.endPictureRegion());
    ASSERT_TRUE(writer.addIndexEntry({99, 0, 0, 0})); // unknown type: skipped
    ASSERT_TRUE(writer.beginPictureRegion(false));
    ASSERT_TRUE(writer.addPicture(2, pictureBytes(800, 2)));
    ASSERT_TRUE(writer.addPicture(3, pictureBytes(800, 3)));
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->pictureCount, 3u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(timeCodeOf(record->pictures[i]), i + 1);
}

TEST(FrameIndex, MissingKeyEndsTheWalkAndKeepsWhatWasFound) {
    BlockWriter writer(0, 1, kSmallBlock);
    const uint32_t p = writer.position();
    ASSERT_TRUE(writer.addPicture(1, pictureBytes(1000, 1)));
    ASSERT_TRUE(writer.padTo(writer.position() + 5000)); // zeros where the next key would be
    ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 1, p, 8000}));
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->valid, 1);
    EXPECT_EQ(record->pictureCount, 1u);
}

// --- Hostile indexes
// -----------------------------------------------------------------------------------------

TEST(FrameIndex, SkipsSoundAndDataEntriesThatLeaveTheBlock) {
    BlockWriter writer(0, 5, kSmallBlock);
    ASSERT_TRUE(writer.addIndexEntry({32, 1, kSmallBlock, 0}));      // starts at the end
    ASSERT_TRUE(writer.addIndexEntry({33, 1, kSmallBlock - 10, 7})); // 4 + 7 bytes, 10 left
    ASSERT_TRUE(writer.addIndexEntry({34, 1, kSmallBlock - 10, 6})); // fits exactly
    ASSERT_TRUE(writer.addIndexEntry({0, 1, 0xFFFFFFF0u, 0x20}));    // would wrap in 32 bits
    ASSERT_TRUE(writer.addIndexEntry({35, 1, 0xFFFFFFFFu, 0x00FFFFFFu}));
    const std::vector<uint8_t> block = writer.finish();
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->sound[0].start, nullptr);
    EXPECT_EQ(record->sound[1].start, nullptr);
    EXPECT_NE(record->sound[2].start, nullptr);
    EXPECT_EQ(record->sound[3].start, nullptr);
    EXPECT_EQ(record->data.payload, nullptr);
}

TEST(FrameIndex, ClampsPicturesThatLeaveTheBlock) {
    BlockWriter writer(0, 3, kSmallBlock);
    const uint32_t p = writer.position();
    ASSERT_TRUE(writer.addPicture(1, pictureBytes(1000, 1)));
    std::vector<uint8_t> block;
    ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 1, p, 0xFFFFFFFFu}));
    ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 1, kSmallBlock, 100})); // starts at the end
    ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 0, kSmallBlock - 1, 0xFFFFFFFFu})); // last byte
    block = writer.finish();
    block[p + kPictureLengthOffset] = 0xFF; // L = 16,777,215
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    ASSERT_GE(record->pictureCount, 1u);
    EXPECT_EQ(record->pictures[0].kind, VideoElement::kCut);
    EXPECT_EQ(record->pictures[0].payload + record->pictures[0].length, block.data() + block.size());
}

TEST(FrameIndex, KeyStraddlingTheBlockEndIsNotRead) {
    BlockWriter writer(0, 1, kSmallBlock);
    const uint32_t p = kSmallBlock - kPictureKeyOffset - 8; // only half a key fits
    ASSERT_TRUE(writer.addIndexEntry({kEntryPictureRegion, 1, p, 100}));
    std::vector<uint8_t> block = writer.finish();
    std::copy(kPictureKey.begin(), kPictureKey.begin() + 8, block.end() - 8);
    auto record = parse(block, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->pictureCount, 0u);
}

TEST(FrameIndex, RefusesAnIndexLongerThanTheBlock) {
    std::vector<uint8_t> block(100);
    setIndexSize(block, 500);
    EXPECT_EQ(parse(block, 0), nullptr);
    EXPECT_EQ(ParseFrameIndex(block.data(), 3, nullptr, 0), nullptr);
    EXPECT_EQ(ParseFrameIndex(nullptr, 0, nullptr, 0), nullptr);
}

TEST(FrameIndex, MutatedBlocksNeverYieldPointersOutsideTheBlock) {
    constexpr uint32_t kBlock = 16 * 1024;
    BlockWriter writer(2, 6, kBlock);
    ASSERT_TRUE(writer.addSound(0, 8, std::vector<uint8_t>(24, 1)));
    ASSERT_TRUE(writer.addData(std::vector<std::vector<uint8_t>>(2, std::vector<uint8_t>(10, 2)), 40));
    ASSERT_TRUE(writer.beginPictureRegion(true));
    ASSERT_TRUE(writer.addContinuation(pictureBytes(300, 1)));
    for (uint8_t i = 0; i < 3; ++i)
        ASSERT_TRUE(writer.addPicture(i, pictureBytes(2000, i)));
    ASSERT_GT(writer.addCutPicture(4, pictureBytes(9000, 4)), 0u);
    ASSERT_TRUE(writer.endPictureRegion());
    const std::vector<uint8_t> original = writer.finish();

    // Positions worth hitting: the index and every header field of the elements.
    std::vector<size_t> hot;
    for (size_t i = 0; i < indexSize(6); ++i)
        hot.push_back(i);
    auto record = parse(original, 2);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->pictureCount, 5u);
    for (uint32_t i = 1; i < record->pictureCount; ++i)
        for (size_t k = 1024; k < 1044; ++k)
            hot.push_back(size_t(record->pictures[i].start - original.data()) + k);

    std::mt19937 random(2024);
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> block = original;
        const int mutations = 1 + int(random() % 6);
        for (int m = 0; m < mutations; ++m)
            block[hot[random() % hot.size()]] = uint8_t(random() % 3 == 0 ? 0xFF : random());
        record = parse(block, random() % 3, std::move(record));
        if (HasFailure())
            return;
    }
}

} // namespace
