#include "capture/FrameAssembler.h"

#include "bytes/ByteReader.h"
#include "card/CWyrnCard.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFullFrameBytes = 1'875'000;
constexpr uint32_t kLiteFrameBytes = 937'500;

uint32_t timeCodeAt(const uint8_t *leadIn) {
    uint32_t code = 0;
    if (leadIn != nullptr)
        ByteReader(leadIn, 4).readU32BE(code);
    return code;
}

uint32_t pictureLength(const VideoElement &element) {
    return uint32_t(std::max<int32_t>(element.length, 0));
}

} // namespace

std::optional<uint32_t> FrameAssembler::frameBytesFor(uint32_t quality) {
    if (quality == 0 || quality == 1)
        return kFullFrameBytes;
    if (quality == 2)
        return kLiteFrameBytes;
    return std::nullopt;
}

FrameAssembler::FrameAssembler(Settings settings, FrameSink sink)
    : settings(std::move(settings)), sink(std::move(sink)),
      frameBytes(frameBytesFor(this->settings.quality).value_or(kFullFrameBytes)),
      pictureBuffer(bufferpool::take(frameBytes)),
      soundBytes(std::min(this->settings.soundChannels, payload::kSoundChannels), 0),
      dataBuffer(bufferpool::take(kDataBufferBytes)) {
    for (size_t k = 0; k < soundBytes.size(); ++k)
        soundBuffers.push_back(bufferpool::take(kSoundBufferBytes));
}

FrameAssembler::BlockResult FrameAssembler::addBlock(const uint8_t *block) {
    if (done)
        return BlockResult::Finished;
    record = ParseFrameIndex(block, settings.blockSize, std::move(record), settings.quality);
    if (!record) {
        odprintf("Unknown Error");
        return BlockResult::Unreadable;
    }
    takeSound(*record);
    takeData(*record);
    uint32_t start = 0;
    if (pendingLength > 0 && pendingLength != frameBytes) {
        joinSplitFrame(*record);
        start = 1;
    }
    pendingLength = 0;
    walk(*record, start);
    return done ? BlockResult::Finished : BlockResult::Read;
}

void FrameAssembler::takeSound(const FrameIndex &index) {
    if (index.sound[0].value == 0)
        return;
    soundOffset = 0;
    for (size_t k = 0; k < soundBuffers.size(); ++k) {
        const IndexElement &element = index.sound[k];
        soundBytes[k] = 0;
        if (element.payload == nullptr || element.length < payload::kSoundHeaderBytes)
            continue;
        soundBytes[k] = std::min(element.length - payload::kSoundHeaderBytes, kSoundBufferBytes);
        std::memcpy(soundBuffers[k].get(), element.payload + payload::kSoundHeaderBytes, soundBytes[k]);
    }
}

void FrameAssembler::takeData(const FrameIndex &index) {
    dataItemsPresent = index.data.value > 0 && index.data.payload != nullptr;
    if (!dataItemsPresent)
        return;
    dataOffset = 0;
    dataLength = std::min(index.data.length, kDataBufferBytes);
    dataItemCount = index.data.value;
    std::memcpy(dataBuffer.get(), index.data.payload, dataLength);
}

// The block's first element completes the frame cut at the end of the previous block.
void FrameAssembler::joinSplitFrame(const FrameIndex &index) {
    const uint32_t head = std::min(pendingLength, frameBytes);
    const uint32_t rest = index.pictureCount > 0 ? pictureLength(index.pictures[0]) : 0;
    const uint64_t sum = uint64_t(pendingLength) + rest;
    if (sum != frameBytes) {
        odprintf("partial ERRROROROROOROROOROR %d %d", int(sum), int(frameBytes));
        endOnWrongPicture(pendingTimeCode, sum);
        return;
    }
    std::memcpy(pictureBuffer.get() + head, index.pictures[0].payload, rest);
    handOn(std::span<const uint8_t>(pictureBuffer.get(), frameBytes), pendingTimeCode);
    counted();
}

// Hands on the block's elements from start on. From the third element on, one shorter than the element
// before it is the first part of a frame that continues in the next block: it is kept, not handed on.
void FrameAssembler::walk(const FrameIndex &index, uint32_t start) {
    for (uint32_t j = start; j < index.pictureCount && !done; ++j) {
        const VideoElement &element = index.pictures[j];
        if (element.length <= 0)
            return;
        const uint32_t length = pictureLength(element);
        if (j > 1 && element.length < index.pictures[j - 1].length) {
            pendingLength = length;
            std::memcpy(pictureBuffer.get(), element.payload, std::min(length, frameBytes));
            pendingTimeCode = timeCodeAt(element.start);
            return;
        }
        if (length != frameBytes) {
            odprintf("ERRROROROROOROROOROR %d %d", int(length), int(frameBytes));
            endOnWrongPicture(timeCodeAt(element.start), length);
            return;
        }
        handOn(std::span(element.payload, length), timeCodeAt(element.start));
        counted();
    }
}

bool FrameAssembler::awaitsRestOfLastFrame() const {
    return !done && pendingLength > 0 && framesWritten + 1 == settings.frameCount;
}

void FrameAssembler::endOnCutFrame() {
    if (done || pendingLength == 0)
        return;
    endOnWrongPicture(pendingTimeCode, pendingLength);
    pendingLength = 0;
}

// A damaged picture is not handed on: the transfer ends before it, as on a dropped picture.
void FrameAssembler::endOnWrongPicture(uint32_t timeCode, uint64_t length) {
    damaged = WrongPicture{framesWritten, timeCode, length};
    done = true;
}

void FrameAssembler::handOn(std::span<const uint8_t> picture, uint32_t timeCode) {
    AssembledFrame frame;
    frame.number = framesWritten;
    frame.picture = picture;
    frame.samples = settings.samplesInFrame ? settings.samplesInFrame(framesWritten) : 0;
    const uint64_t bytes = uint64_t(frame.samples) * payload::kSoundSampleBytes;
    for (size_t k = 0; k < soundBuffers.size(); ++k) {
        const uint32_t available = soundBytes[k] > soundOffset ? soundBytes[k] - soundOffset : 0;
        frame.sound[k] =
            std::span<const uint8_t>(soundBuffers[k].get() + std::min(soundOffset, soundBytes[k]),
                                     size_t(std::min<uint64_t>(bytes, available)));
    }
    soundOffset = uint32_t(std::min<uint64_t>(soundOffset + bytes, kSoundBufferBytes));
    frame.dataItemsPresent = dataItemsPresent;
    if (dataItemsPresent) {
        const uint32_t available = dataLength > dataOffset ? dataLength - dataOffset : 0;
        const uint8_t *item = dataBuffer.get() + std::min(dataOffset, dataLength);
        if (const uint32_t length = GetDataItemLength(item, available); length > 0)
            frame.dataItem = std::span<const uint8_t>(item + payload::kDataItemHeaderBytes, length);
        dataOffset =
            uint32_t(std::min<uint64_t>(uint64_t(dataOffset) + dataLength / dataItemCount, dataLength));
    }
    frame.timeCode = timeCode;
    sink(frame);
}

void FrameAssembler::counted() {
    ++framesWritten;
    if (framesWritten == settings.frameCount)
        done = true;
}
