#include "platform/srmodule/BlockWriter.h"

#include "bytes/ByteWriter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMaxLength24 = 0x00FF'FFFF;

} // namespace

BlockWriter::BlockWriter(uint32_t quality, uint32_t indexEntries, uint32_t blockSize,
                         std::vector<uint8_t> storage)
    : quality(quality), indexCapacity(indexEntries), blockSize(blockSize), bytes(std::move(storage)) {
    bytes.clear();
    bytes.reserve(blockSize);
    bytes.resize(std::min<uint64_t>(payload::indexSize(indexEntries), blockSize));
}

bool BlockWriter::padTo(uint32_t offset) {
    if (offset < position() || offset > blockSize)
        return false;
    bytes.resize(offset);
    return true;
}

bool BlockWriter::addSound(uint32_t channel, uint32_t sampleCount, std::span<const uint8_t> samples,
                           uint8_t tag) {
    const uint64_t length = uint64_t(payload::kSoundHeaderBytes) + samples.size();
    if (channel >= payload::kSoundChannels || length > kMaxLength24 ||
        !fits(payload::kSoundFieldBytes + length) || entries.size() >= indexCapacity)
        return false;
    entries.push_back({payload::kEntrySoundFirst + channel, sampleCount, position(),
                       uint32_t(tag) << 24 | uint32_t(length)});
    ByteWriter out(bytes);
    out.u32BE(sampleCount);
    out.fill(0, payload::kSoundHeaderBytes);
    out.bytes(samples);
    return true;
}

bool BlockWriter::addData(std::span<const std::vector<uint8_t>> items, uint32_t stride) {
    const bool itemsFitStride =
        std::all_of(items.begin(), items.end(), [stride](const std::vector<uint8_t> &item) {
            return item.size() <= kMaxLength24 && payload::kDataItemHeaderBytes + item.size() <= stride;
        });
    const uint64_t size = uint64_t(stride) * items.size();
    if (!itemsFitStride || size > UINT32_MAX || !fits(size) || entries.size() >= indexCapacity)
        return false;
    entries.push_back({payload::kEntryData, uint32_t(items.size()), position(), uint32_t(size)});
    ByteWriter out(bytes);
    for (const std::vector<uint8_t> &item : items) {
        out.bytes(payload::kDataItemKey);
        out.u8(payload::kDataItemLengthPrefix);
        out.u24BE(uint32_t(item.size()));
        out.bytes(item);
        out.fill(0, stride - payload::kDataItemHeaderBytes - item.size());
    }
    return true;
}

bool BlockWriter::beginPictureRegion(bool startsWithContinuation) {
    if (regionOpen)
        return false;
    regionOpen = true;
    region = {payload::kEntryPictureRegion, startsWithContinuation ? 0u : 1u, position(), 0};
    return true;
}

bool BlockWriter::addContinuation(std::span<const uint8_t> rest) {
    if (!fits(uint64_t(rest.size()) + payload::trailerBytes(quality)))
        return false;
    ByteWriter out(bytes);
    out.bytes(rest);
    out.fill(0, payload::trailerBytes(quality));
    return true;
}

void BlockWriter::writePictureHeader(uint32_t timeCode, uint32_t pictureLength) {
    ByteWriter out(bytes);
    out.u32BE(timeCode);
    out.fill(0, payload::kLeadInBytes - 4);
    out.bytes(payload::kPictureKey);
    out.u8(payload::kPictureLengthPrefix);
    out.u24BE(pictureLength);
}

bool BlockWriter::addPicture(uint32_t timeCode, std::span<const uint8_t> picture) {
    if (picture.size() > kMaxLength24 ||
        !fits(payload::pictureElementBytes(uint32_t(picture.size()), quality)))
        return false;
    writePictureHeader(timeCode, uint32_t(picture.size()));
    ByteWriter out(bytes);
    out.bytes(picture);
    out.fill(0, payload::trailerBytes(quality));
    return true;
}

uint32_t BlockWriter::addCutPicture(uint32_t timeCode, std::span<const uint8_t> picture) {
    if (picture.size() > kMaxLength24 || remaining() <= payload::kPictureHeaderBytes)
        return 0;
    const uint32_t inBlock = remaining() - payload::kPictureHeaderBytes;
    if (inBlock >= picture.size())
        return 0;
    writePictureHeader(timeCode, uint32_t(picture.size()));
    ByteWriter(bytes).bytes(picture.first(inBlock));
    return inBlock;
}

bool BlockWriter::endPictureRegion() {
    if (!regionOpen || entries.size() >= indexCapacity)
        return false;
    regionOpen = false;
    region.size = position() - region.offset;
    entries.push_back(region);
    return true;
}

bool BlockWriter::addIndexEntry(const payload::IndexEntry &entry) {
    if (entries.size() >= indexCapacity)
        return false;
    entries.push_back(entry);
    return true;
}

std::vector<uint8_t> BlockWriter::finish() const & {
    std::vector<uint8_t> block = bytes;
    complete(block);
    return block;
}

std::vector<uint8_t> BlockWriter::finish() && {
    complete(bytes);
    return std::move(bytes);
}

// Fills block, a copy of the elements written, up to blockSize and writes the index at its head.
void BlockWriter::complete(std::vector<uint8_t> &block) const {
    std::vector<uint8_t> index;
    ByteWriter out(index);
    out.u32BE(payload::indexSize(uint32_t(entries.size())));
    for (const payload::IndexEntry &entry : entries) {
        out.u32BE(entry.type);
        out.u32BE(entry.value);
        out.u32BE(entry.offset);
        out.u32BE(entry.size);
    }
    block.resize(blockSize);
    std::memcpy(block.data(), index.data(), std::min<size_t>(index.size(), block.size()));
}
