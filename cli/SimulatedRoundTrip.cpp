#include "cli/SimulatedRoundTrip.h"

#include "capture/FrameIndex.h"
#include "capture/PayloadExtraction.h"
#include "capture/PayloadFormat.h"
#include "platform/srmodule/BlockWriter.h"
#include "platform/srmodule/PayloadEmbedding.h"

#include <algorithm>
#include <random>

namespace {

constexpr uint32_t kQuality = 2;
constexpr uint32_t kFrameBytes = 937'500; // a picture at compression quality 2
constexpr uint32_t kFirstTimeCode = 0x10000000;
constexpr uint32_t kSamplesPerBlock = 3'204;
constexpr uint32_t kDataItemsPerBlock = 4;
constexpr uint32_t kDataItemBytes = 32;
constexpr uint32_t kDataStride = 64;

using Bytes = std::vector<uint8_t>;

Bytes randomBytes(std::mt19937 &random, size_t count) {
    Bytes bytes(count);
    for (uint8_t &byte : bytes)
        byte = uint8_t(random());
    return bytes;
}

struct PlayedBlock {
    Bytes bytes;
    std::vector<Bytes> sound; // samples per channel
    std::vector<Bytes> dataItems;
};

std::string depthName(bool eightBit) {
    return eightBit ? "8-bit" : "10-bit";
}

// Lays the clip out in blocks: sound, data, then one picture region of whole elements that ends with a
// frame cut at the block's end when its header and at least one picture byte fit, and the clip goes on.
std::vector<PlayedBlock> playOut(const std::vector<Bytes> &frames, uint32_t soundChannels,
                                 std::mt19937 &random, uint32_t &splitFrames) {
    std::vector<PlayedBlock> blocks;
    Bytes pending; // the rest of a frame cut at the previous block's end
    size_t next = 0;
    while (next < frames.size() || !pending.empty()) {
        PlayedBlock played;
        BlockWriter writer(kQuality, soundChannels + 2);
        for (uint32_t channel = 0; channel < soundChannels; ++channel) {
            played.sound.push_back(randomBytes(random, payload::kSoundSampleBytes * kSamplesPerBlock));
            writer.addSound(channel, kSamplesPerBlock, played.sound.back());
        }
        for (uint32_t i = 0; i < kDataItemsPerBlock; ++i)
            played.dataItems.push_back(randomBytes(random, kDataItemBytes));
        writer.addData(played.dataItems, kDataStride);

        writer.beginPictureRegion(!pending.empty());
        if (!pending.empty())
            writer.addContinuation(pending);
        pending.clear();
        for (; next < frames.size(); ++next) {
            const uint32_t timeCode = kFirstTimeCode + uint32_t(next);
            if (writer.remaining() >= payload::pictureElementBytes(kFrameBytes, kQuality)) {
                writer.addPicture(timeCode, frames[next]);
                continue;
            }
            // The clip's last frame is never cut: it would end the clip as a bare continuation.
            const uint32_t inBlock =
                next + 1 < frames.size() ? writer.addCutPicture(timeCode, frames[next]) : 0;
            if (inBlock > 0) {
                pending.assign(frames[next].begin() + inBlock, frames[next].end());
                ++next;
                ++splitFrames;
            }
            break;
        }
        writer.endPictureRegion();
        played.bytes = writer.finish();
        blocks.push_back(std::move(played));
    }
    return blocks;
}

uint32_t timeCodeAt(const uint8_t *leadIn) {
    return uint32_t(leadIn[0]) << 24 | uint32_t(leadIn[1]) << 16 | uint32_t(leadIn[2]) << 8 | leadIn[3];
}

// Reads the played blocks back at one depth and compares everything with what was played out.
class Capture {
public:
    Capture(const std::vector<Bytes> &frames, bool eightBit, RoundTripReport &report)
        : frames(frames), eightBit(eightBit), report(report), pictures(payload::picturePairBytes(eightBit)),
          block(payload::kBlockSize) {
        // Noise in the bits of 10-bit samples that carry no payload.
        std::mt19937 random(7);
        std::generate(pictures.begin(), pictures.end(), [&random] { return uint8_t(random()); });
    }

    void receive(const PlayedBlock &played, size_t number) {
        EmbedPayload(played.bytes, pictures, eightBit);
        if (number == 0 && !IsValidFrame(pictures.data(), eightBit))
            mismatch("the first block failed the first-block check");
        ExtractPayload(block.data(), pictures.data(), pictures.data() + payload::lineBytes(eightBit),
                       eightBit);
        if (block == played.bytes)
            ++report.blocksIdentical;
        else
            mismatch("block " + std::to_string(number) + " came back different");

        record = ParseFrameIndex(block.data(), payload::kBlockSize, std::move(record), kQuality);
        if (!record) {
            mismatch("the index of block " + std::to_string(number) + " did not parse");
            return;
        }
        checkSound(played, number);
        checkData(played, number);
        for (uint32_t i = 0; i < record->pictureCount; ++i)
            takePicture(record->pictures[i]);
    }

    void finish() {
        if (rebuilt != frames.size())
            mismatch(std::to_string(rebuilt) + " of " + std::to_string(frames.size()) + " frames came back");
    }

private:
    void mismatch(const std::string &what) { report.mismatches.push_back(depthName(eightBit) + ": " + what); }

    void checkSound(const PlayedBlock &played, size_t number) {
        for (size_t channel = 0; channel < played.sound.size(); ++channel) {
            const IndexElement &sound = record->sound[channel];
            const Bytes &samples = played.sound[channel];
            if (sound.value != kSamplesPerBlock ||
                sound.length != payload::kSoundHeaderBytes + samples.size() ||
                !std::equal(samples.begin(), samples.end(), sound.payload + payload::kSoundHeaderBytes))
                mismatch("block " + std::to_string(number) + ", sound channel " + std::to_string(channel) +
                         " differs");
        }
    }

    void checkData(const PlayedBlock &played, size_t number) {
        const IndexElement &data = record->data;
        bool same = data.value == played.dataItems.size() && data.length == kDataStride * data.value;
        for (size_t i = 0; same && i < played.dataItems.size(); ++i) {
            const uint8_t *item = data.payload + kDataStride * i;
            same = GetDataItemLength(item, data.length - kDataStride * i) == kDataItemBytes &&
                   std::equal(played.dataItems[i].begin(), played.dataItems[i].end(),
                              item + payload::kDataItemHeaderBytes);
        }
        if (!same)
            mismatch("block " + std::to_string(number) + ", the data items differ");
    }

    void takePicture(const VideoElement &element) {
        const uint8_t *begin = element.payload;
        const uint8_t *end = element.payload + std::max(element.length, 0);
        switch (element.kind) {
        case VideoElement::kCut:
            pendingTimeCode = timeCodeAt(element.start);
            pending.assign(begin, end);
            break;
        case VideoElement::kContinuation:
            pending.insert(pending.end(), begin, end);
            compare(pending, pendingTimeCode);
            pending.clear();
            break;
        default:
            compare(Bytes(begin, end), timeCodeAt(element.start));
            break;
        }
    }

    void compare(const Bytes &picture, uint32_t timeCode) {
        const size_t number = rebuilt++;
        if (number >= frames.size())
            mismatch("an extra frame came back");
        else if (picture == frames[number] && timeCode == kFirstTimeCode + number)
            ++report.framesIdentical;
        else
            mismatch("frame " + std::to_string(number) + " came back different");
    }

    const std::vector<Bytes> &frames;
    bool eightBit;
    RoundTripReport &report;
    Bytes pictures;
    Bytes block;
    std::unique_ptr<FrameIndex> record;
    Bytes pending;
    uint32_t pendingTimeCode = 0;
    size_t rebuilt = 0;
};

} // namespace

RoundTripReport runSimulatedRoundTrip(uint32_t frameCount, uint32_t soundChannels, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Bytes> frames;
    for (uint32_t i = 0; i < frameCount; ++i)
        frames.push_back(randomBytes(random, kFrameBytes));
    RoundTripReport report;
    const std::vector<PlayedBlock> blocks =
        playOut(frames, std::min(soundChannels, payload::kSoundChannels), random, report.splitFrames);
    report.blocks = uint32_t(blocks.size());
    report.frames = frameCount;
    report.bytes = uint64_t(blocks.size()) * payload::kBlockSize;
    for (bool eightBit : {true, false}) {
        Capture capture(frames, eightBit, report);
        for (size_t i = 0; i < blocks.size(); ++i)
            capture.receive(blocks[i], i);
        capture.finish();
    }
    return report;
}
