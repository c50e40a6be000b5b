// The reading rules of the writer's main loop on hand-made blocks: joining, cuts, the frame count, and
// sound and data kept inside their buffers whatever a block claims.

#include "capture/FrameAssembler.h"
#include "capture/PayloadFormat.h"
#include "platform/srmodule/BlockWriter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace payload;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kF = 1'875'000;
constexpr uint32_t kWhole = kPictureHeaderBytes + kF + kTrailerBytes;
// Two whole elements and a cut one with all but 100 bytes of the index and trailer's room.
constexpr uint32_t kBlock = 3 * kWhole - kTrailerBytes - 100;

Bytes picture(uint8_t seed, uint32_t size = kF) {
    Bytes bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(seed + i);
    return bytes;
}

struct Received {
    uint64_t number;
    Bytes picture;
    std::vector<Bytes> sound;
    Bytes dataItem;
    uint32_t timeCode;
};

class Assembler : public ::testing::Test {
protected:
    FrameAssembler make(uint32_t frameCount, uint32_t channels = 0, uint32_t samplesPerFrame = 0) {
        FrameAssembler::Settings settings;
        settings.quality = 0;
        settings.frameCount = frameCount;
        settings.soundChannels = channels;
        settings.samplesInFrame = [samplesPerFrame](uint64_t) { return samplesPerFrame; };
        settings.blockSize = kBlock;
        return FrameAssembler(settings, [this](const AssembledFrame &frame) {
            Received r{frame.number,
                       Bytes(frame.picture.begin(), frame.picture.end()),
                       {},
                       Bytes(frame.dataItem.begin(), frame.dataItem.end()),
                       frame.timeCode};
            for (const auto &channel : frame.sound)
                r.sound.emplace_back(channel.begin(), channel.end());
            frames.push_back(std::move(r));
        });
    }

    // A block of two whole copies of `p` (time codes 1 and 2) and the first part of a third (time code 3),
    // cut at the block's end after `sent` bytes.
    static Bytes blockEndingInACut(const Bytes &p, uint32_t &sent) {
        BlockWriter writer(0, 1, kBlock);
        writer.beginPictureRegion(false);
        writer.addPicture(1, p);
        writer.addPicture(2, p);
        sent = writer.addCutPicture(3, p);
        writer.endPictureRegion();
        return writer.finish();
    }

    std::vector<Received> frames;
};

} // namespace

TEST_F(Assembler, JoinsAFrameCutAtTheBlockEndEvenOnceThatBlockIsOverwritten) {
    const Bytes p0 = picture(1), p1 = picture(2), p2 = picture(3), p3 = picture(4);
    BlockWriter first(0, 1, kBlock);
    first.beginPictureRegion(false);
    ASSERT_TRUE(first.addPicture(0x01000000, p0));
    ASSERT_TRUE(first.addPicture(0x01000001, p1));
    const uint32_t sent = first.addCutPicture(0x01000002, p2);
    ASSERT_GT(sent, 0u);
    ASSERT_TRUE(first.endPictureRegion());
    Bytes block = first.finish();

    BlockWriter second(0, 1, kBlock);
    second.beginPictureRegion(true);
    ASSERT_TRUE(second.addContinuation(std::span(p2).subspan(sent)));
    ASSERT_TRUE(second.addPicture(0x01000003, p3));
    ASSERT_TRUE(second.endPictureRegion());

    FrameAssembler assembler = make(4);
    EXPECT_EQ(assembler.addBlock(block.data()), FrameAssembler::BlockResult::Read);
    std::fill(block.begin(), block.end(), uint8_t(0xEE)); // the ring hands the slot to the next block
    EXPECT_EQ(assembler.addBlock(second.finish().data()), FrameAssembler::BlockResult::Finished);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_TRUE(frames[2].picture == p2);
    EXPECT_EQ(frames[2].timeCode, 0x01000002u) << "the joined frame keeps its first part's time code";
    EXPECT_TRUE(frames[3].picture == p3);
    EXPECT_EQ(frames[3].number, 3u);
    EXPECT_FALSE(assembler.wrongPicture());
}

TEST_F(Assembler, AJoinedFrameOfTheWrongSizeEndsTheTransferAndIsNotHandedOn) {
    const Bytes p = picture(9);
    uint32_t sent = 0;
    const Bytes first = blockEndingInACut(p, sent);
    BlockWriter second(0, 1, kBlock);
    second.beginPictureRegion(true);
    second.addContinuation(std::span(p).subspan(sent + 10)); // ten bytes short
    second.addPicture(4, p);
    second.endPictureRegion();

    FrameAssembler assembler = make(10);
    assembler.addBlock(first.data());
    EXPECT_EQ(assembler.addBlock(second.finish().data()), FrameAssembler::BlockResult::Finished);
    ASSERT_TRUE(assembler.wrongPicture());
    EXPECT_EQ(assembler.wrongPicture()->frame, 2u);
    EXPECT_EQ(assembler.wrongPicture()->timeCode, 3u) << "its first part's time code";
    EXPECT_EQ(assembler.wrongPicture()->length, kF - 10);
    EXPECT_EQ(frames.size(), 2u) << "neither the bad frame nor anything after it is handed on";
    EXPECT_EQ(assembler.framesAssembled(), 2u);
}

// A cut element may be the clip's last picture arriving short: its owner, seeing no further block, ends on
// it. Only the last frame's first part waits so; an earlier frame's rest is still to come.
TEST_F(Assembler, TheHeldFirstPartOfTheLastFrameCanEndTheTransferAsAWrongPicture) {
    uint32_t sent = 0;
    const Bytes block = blockEndingInACut(picture(5), sent);

    FrameAssembler longer = make(4);
    EXPECT_EQ(longer.addBlock(block.data()), FrameAssembler::BlockResult::Read);
    EXPECT_FALSE(longer.awaitsRestOfLastFrame()) << "frame 2 of 4 is not the last";

    FrameAssembler assembler = make(3);
    EXPECT_EQ(assembler.addBlock(block.data()), FrameAssembler::BlockResult::Read);
    EXPECT_TRUE(assembler.awaitsRestOfLastFrame());
    assembler.endOnCutFrame();
    EXPECT_TRUE(assembler.finished());
    EXPECT_FALSE(assembler.awaitsRestOfLastFrame());
    ASSERT_TRUE(assembler.wrongPicture());
    EXPECT_EQ(assembler.wrongPicture()->frame, 2u);
    EXPECT_EQ(assembler.wrongPicture()->timeCode, 3u);
    EXPECT_EQ(assembler.wrongPicture()->length, sent);
    EXPECT_EQ(assembler.framesAssembled(), 2u);
}

TEST_F(Assembler, StopsAtTheFrameCountInTheMiddleOfABlock) {
    BlockWriter writer(0, 1, kBlock);
    writer.beginPictureRegion(false);
    for (uint8_t i = 0; i < 2; ++i)
        writer.addPicture(i, picture(i));
    writer.endPictureRegion();
    FrameAssembler assembler = make(1);
    EXPECT_EQ(assembler.addBlock(writer.finish().data()), FrameAssembler::BlockResult::Finished);
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_EQ(assembler.addBlock(writer.finish().data()), FrameAssembler::BlockResult::Finished);
    EXPECT_EQ(frames.size(), 1u) << "nothing is read once finished";
}

TEST_F(Assembler, SkipsABlockWhoseIndexIsRefused) {
    const Bytes idle(kBlock, 0);
    FrameAssembler assembler = make(1);
    EXPECT_EQ(assembler.addBlock(idle.data()), FrameAssembler::BlockResult::Unreadable);
    EXPECT_TRUE(frames.empty());
}

TEST_F(Assembler, AnUncutElementOfAnotherLengthEndsTheTransferAndIsNotHandedOn) {
    // The second element is never taken for a cut, whatever its length: it is a damaged picture.
    for (const uint32_t length : {1000u, kF + 1}) {
        frames.clear();
        BlockWriter first(0, 1, kBlock);
        first.beginPictureRegion(false);
        first.addPicture(1, picture(1));
        first.addPicture(2, picture(2, length));
        first.endPictureRegion();

        FrameAssembler assembler = make(5);
        EXPECT_EQ(assembler.addBlock(first.finish().data()), FrameAssembler::BlockResult::Finished) << length;
        EXPECT_EQ(frames.size(), 1u) << length;
        ASSERT_TRUE(assembler.wrongPicture()) << length;
        EXPECT_EQ(assembler.wrongPicture()->frame, 1u);
        EXPECT_EQ(assembler.wrongPicture()->timeCode, 2u);
        EXPECT_EQ(assembler.wrongPicture()->length, length);
    }
}

TEST_F(Assembler, GivesEachFrameItsRunOfSamplesAndItsDataItemAtTheStride) {
    BlockWriter writer(0, 4, kBlock);
    const Bytes samples0 = picture(50, 3 * 5), samples1 = picture(90, 3 * 5);
    writer.addSound(0, 5, samples0);
    writer.addSound(1, 5, samples1);
    writer.addData(std::vector<Bytes>{{0xA1, 0xA2}, {0xB1}}, 40);
    writer.beginPictureRegion(false);
    writer.addPicture(1, picture(1));
    writer.addPicture(2, picture(2));
    writer.endPictureRegion();
    FrameAssembler assembler = make(2, 2, 2);
    EXPECT_EQ(assembler.addBlock(writer.finish().data()), FrameAssembler::BlockResult::Finished);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].sound[0], Bytes(samples0.begin(), samples0.begin() + 6));
    EXPECT_EQ(frames[1].sound[0], Bytes(samples0.begin() + 6, samples0.begin() + 12));
    EXPECT_EQ(frames[1].sound[1], Bytes(samples1.begin() + 6, samples1.begin() + 12));
    EXPECT_TRUE(frames[0].sound[2].empty()) << "no third channel";
    EXPECT_EQ(frames[0].dataItem, (Bytes{0xA1, 0xA2}));
    EXPECT_EQ(frames[1].dataItem, (Bytes{0xB1}));
}

TEST_F(Assembler, KeepsSoundAndDataInsideTheirBuffersWhateverTheBlockClaims) {
    const uint32_t tooMany = FrameAssembler::kSoundBufferBytes / 3 + 1000;
    BlockWriter writer(0, 20, kBlock);
    const Bytes samples(3 * tooMany, 0x5A);
    ASSERT_TRUE(writer.addSound(0, tooMany, samples));
    const Bytes bigItem(FrameAssembler::kDataBufferBytes, 0x11);
    ASSERT_TRUE(writer.addData(std::vector<Bytes>{bigItem}, FrameAssembler::kDataBufferBytes + 100));
    // A sound element shorter than its header.
    ASSERT_TRUE(writer.addIndexEntry({kEntrySoundFirst + 1, 7, 100, 8}));
    writer.beginPictureRegion(false);
    ASSERT_TRUE(writer.addPicture(1, picture(1)));
    ASSERT_TRUE(writer.endPictureRegion());
    // Twenty channels are read as sixteen; each frame asks for more samples than a buffer holds.
    FrameAssembler assembler = make(1, 20, tooMany);
    EXPECT_EQ(assembler.addBlock(writer.finish().data()), FrameAssembler::BlockResult::Finished);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].sound[0].size(), FrameAssembler::kSoundBufferBytes);
    EXPECT_TRUE(frames[0].sound[1].empty()) << "the short element replaced channel 1 and is not copied";
    EXPECT_TRUE(frames[0].dataItem.empty()) << "an item cut by the buffer's end is not handed on";
}
