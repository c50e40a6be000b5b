// The play-out's blocks read back by the reading rules, without the SDI path: every frame, sample run,
// data item and time code must come back exactly, and no block may take a layout the rules misread.

#include "capture/FrameAssembler.h"
#include "capture/FrameIndex.h"
#include "capture/PayloadFormat.h"
#include "platform/srmodule/EssenceSource.h"
#include "platform/srmodule/Playout.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace payload;

namespace {

struct ClipShape {
    uint8_t codec = 0;
    uint8_t rateIndex = 3; // with scan: the edit rate
    uint8_t scan = 0;
    uint8_t channels = 8;
    bool data = true;
    uint32_t frames = 12;
};

ManifestClip makeClip(const ClipShape &shape) {
    ManifestClip clip;
    clip.record.fileName = "MODEL";
    clip.record.durationFrames = shape.frames;
    clip.record.codec = shape.codec;
    clip.record.rateIndex = shape.rateIndex;
    clip.record.scan = shape.scan;
    clip.record.soundChannels = shape.channels;
    clip.record.dropFrame = 1;
    clip.record.startTimecode = {9, 59, 59, 25};
    clip.essence.dataItems = shape.data;
    return clip;
}

std::string describe(const ClipShape &s, uint32_t blockSize) {
    return "codec " + std::to_string(s.codec) + ", rate " + std::to_string(s.rateIndex) + "/" +
           std::to_string(s.scan) + ", " + std::to_string(s.channels) + " channels, data " +
           std::to_string(s.data) + ", " + std::to_string(s.frames) + " frames, block " +
           std::to_string(blockSize);
}

// How a block's picture region ended, in bytes S left behind the last whole element.
enum class Ending { Cut, Exact, HeaderOnlyRoom, PictureWithoutTrailer, Other };

struct ReadBack {
    uint64_t frames = 0;
    uint64_t mismatches = 0;
    uint32_t blocks = 0;
    bool finished = false;
    std::set<Ending> endings;
    uint32_t mostPictureElements = 0;
};

// Checks the layout rules on one block and says how its region ended.
Ending checkLayout(const std::vector<uint8_t> &block, uint32_t quality, uint32_t frameBytes,
                   ReadBack &result) {
    const uint32_t size = uint32_t(block.size());
    const uint32_t indexBytes =
        uint32_t(block[0]) << 24 | uint32_t(block[1]) << 16 | uint32_t(block[2]) << 8 | block[3];
    EXPECT_GE(indexBytes, indexSize(1));
    EXPECT_LE(indexBytes, indexSize(kMaxEntriesOfFirstBlock)) << "the first-block check would refuse it";
    std::unique_ptr<FrameIndex> index = ParseFrameIndex(block.data(), size, nullptr, quality);
    EXPECT_TRUE(index);
    if (!index)
        return Ending::Other;
    EXPECT_GE(index->pictureCount, 1u) << "a block without a picture element";
    result.mostPictureElements = std::max(result.mostPictureElements, index->pictureCount);
    const uint8_t *end = block.data() + size;
    const VideoElement *last = nullptr;
    for (uint32_t j = 0; j < index->pictureCount; ++j) {
        const VideoElement &element = index->pictures[j];
        last = &element;
        if (element.kind == VideoElement::kCut) {
            EXPECT_EQ(j + 1, index->pictureCount) << "only the last element may be cut";
            EXPECT_GE(j, 2u) << "the reader does not test the first two elements for a cut";
            EXPECT_GE(element.length, 1);
            EXPECT_LT(uint32_t(element.length), frameBytes);
        } else if (element.kind == VideoElement::kComplete) {
            EXPECT_EQ(uint32_t(element.length), frameBytes);
            EXPECT_LE(element.payload + element.length + trailerBytes(quality), end) << "a cut trailer";
        }
    }
    if (last == nullptr)
        return Ending::Other;
    if (last->kind == VideoElement::kCut)
        return Ending::Cut;
    const uint64_t space = uint64_t(end - (last->payload + last->length + trailerBytes(quality)));
    if (space == 0)
        return Ending::Exact;
    if (space <= kPictureHeaderBytes)
        return Ending::HeaderOnlyRoom;
    if (space >= kPictureHeaderBytes + frameBytes && space < pictureElementBytes(frameBytes, quality))
        return Ending::PictureWithoutTrailer;
    return Ending::Other;
}

ReadBack playAndRead(const ClipShape &shape, uint32_t blockSize = kBlockSize) {
    const ManifestClip clip = makeClip(shape);
    Playout playout(clip, blockSize);
    EssenceSource expected(clip);
    std::vector<uint8_t> picture(expected.pictureBytes());
    std::vector<uint8_t> sound;
    ReadBack result;
    FrameAssembler::Settings settings;
    settings.quality = shape.codec;
    settings.frameCount = shape.frames;
    settings.soundChannels = shape.channels;
    settings.samplesInFrame = [&expected](uint64_t frame) { return uint32_t(expected.samples(frame, 1)); };
    settings.blockSize = blockSize;
    FrameAssembler assembler(settings, [&](const AssembledFrame &frame) {
        bool same = frame.number == result.frames && frame.timeCode == expected.timeCode(frame.number);
        expected.picture(frame.number, picture);
        same = same && std::equal(frame.picture.begin(), frame.picture.end(), picture.begin(), picture.end());
        for (uint32_t k = 0; k < shape.channels; ++k) {
            sound.clear();
            expected.sound(k, frame.number, 1, sound);
            same =
                same && std::equal(frame.sound[k].begin(), frame.sound[k].end(), sound.begin(), sound.end());
        }
        const std::vector<uint8_t> item =
            shape.data ? expected.dataItem(frame.number) : std::vector<uint8_t>{};
        same = same && std::equal(frame.dataItem.begin(), frame.dataItem.end(), item.begin(), item.end());
        result.mismatches += same ? 0 : 1;
        ++result.frames;
    });
    for (std::vector<uint8_t> block = playout.nextBlock(); !block.empty(); block = playout.nextBlock()) {
        ++result.blocks;
        result.endings.insert(checkLayout(block, shape.codec, expected.pictureBytes(), result));
        if (assembler.addBlock(block.data()) == FrameAssembler::BlockResult::Finished)
            result.finished = true;
    }
    EXPECT_FALSE(playout.failed()) << describe(shape, blockSize);
    EXPECT_FALSE(assembler.wrongPicture()) << describe(shape, blockSize);
    return result;
}

void expectExact(const ClipShape &shape, uint32_t blockSize = kBlockSize) {
    const ReadBack result = playAndRead(shape, blockSize);
    EXPECT_EQ(result.frames, shape.frames) << describe(shape, blockSize);
    EXPECT_EQ(result.mismatches, 0u) << describe(shape, blockSize);
    EXPECT_TRUE(result.finished) << describe(shape, blockSize);
}

// The block size that leaves exactly `space` bytes behind `whole` whole elements of the clip's first block.
uint32_t blockLeaving(const ClipShape &shape, uint32_t whole, uint64_t space) {
    const ManifestClip clip = makeClip(shape);
    EssenceSource essence(clip);
    const uint32_t entries = shape.channels + (shape.data ? 1 : 0) + 1;
    const uint64_t before = indexSize(entries) +
                            shape.channels * (kSoundFieldBytes + kSoundHeaderBytes +
                                              payload::kSoundSampleBytes * essence.samples(0, whole)) +
                            (shape.data ? uint64_t(EssenceSource::kDataItemStride) * whole : 0);
    return uint32_t(before + whole * uint64_t(pictureElementBytes(essence.pictureBytes(), shape.codec)) +
                    space);
}

} // namespace

TEST(PlayoutModel, EveryEditRateAndChannelCountReadsBackExactly) {
    const std::pair<uint8_t, uint8_t> rates[] = {
        {0, 1}, {2, 0}, {3, 0}, {8, 2}, {1, 2}}; // 23.98 25 29.97 59.94 24
    for (const auto &[rateIndex, scan] : rates)
        for (const uint8_t channels : {0, 1, 16})
            for (const uint8_t codec : {0, 2})
                expectExact({codec, rateIndex, scan, channels, channels != 1, 13});
}

TEST(PlayoutModel, ClipLengthsAroundBlockBoundariesReadBackExactly) {
    for (uint32_t frames = 1; frames <= 12; ++frames) {
        expectExact({0, 3, 0, 8, true, frames});
        expectExact({2, 0, 1, 16, false, frames});
    }
}

TEST(PlayoutModel, RegionEndsAtEveryBoundaryCaseReadBackExactly) {
    const uint32_t f = 1'875'000;
    const uint64_t h = kPictureHeaderBytes;
    const uint64_t w = pictureElementBytes(f, 0);
    // Space left behind two whole elements: none, the header alone, one picture byte, all but one, the
    // whole picture without its trailer, one byte short of an element.
    const uint64_t spaces[] = {0, h - 1, h, h + 1, h + f - 1, h + f, h + f + 1, w - 1};
    std::set<Ending> seen;
    for (const uint64_t space : spaces) {
        for (const uint32_t frames : {2u, 3u, 4u, 7u}) {
            const ClipShape shape{0, 3, 0, 4, true, frames};
            const uint32_t blockSize = blockLeaving(shape, 2, space);
            const ReadBack result = playAndRead(shape, blockSize);
            EXPECT_EQ(result.frames, frames) << describe(shape, blockSize);
            EXPECT_EQ(result.mismatches, 0u) << describe(shape, blockSize);
            seen.insert(result.endings.begin(), result.endings.end());
        }
    }
    for (const Ending ending :
         {Ending::Cut, Ending::Exact, Ending::HeaderOnlyRoom, Ending::PictureWithoutTrailer})
        EXPECT_TRUE(seen.count(ending)) << "boundary case " << int(ending) << " was not reached";
}

TEST(PlayoutModel, LiteBlocksHoldAtMostTenPictureElements) {
    const ReadBack result = playAndRead({2, 0, 1, 0, false, 40});
    EXPECT_EQ(result.frames, 40u);
    EXPECT_EQ(result.mismatches, 0u);
    EXPECT_EQ(result.mostPictureElements, kMaxPictureElements)
        << "a continuation, eight whole elements, a cut one";
}

TEST(PlayoutModel, ABlockTooSmallForAnyPictureFailsInsteadOfWritingIt) {
    const ManifestClip clip = makeClip({0, 3, 0, 2, false, 4});
    Playout playout(clip, 1'500'000);
    EXPECT_TRUE(playout.nextBlock().empty());
    EXPECT_TRUE(playout.failed());
}
