#include "platform/smdk/FileReader.h"

#include "bytes/ByteReader.h"
#include "mxf/Assertion.h"
#include "platform/smdk/HeaderMetadata.h"
#include "platform/smdk/Klv.h"
#include "platform/smdk/Labels.h"
#include "platform/smdk/SystemItem.h"

#include <algorithm>
#include <limits>

namespace smdk {

namespace {

// Generic container element keys: the first 12 bytes, then the item type at byte 12.
constexpr size_t elementPrefix = 12;
constexpr size_t itemTypeByte = 12;
constexpr size_t elementCountByte = 13;
constexpr size_t elementNumberByte = 15;
constexpr uint8_t pictureItem = 0x15;
constexpr uint8_t soundItem = 0x16;
constexpr uint8_t dataItem = 0x17;
// Partition pack value: versions 4, KAGSize 4, ThisPartition 8, ..., the fixed part is 88 bytes.
constexpr uint64_t packValueBytes = 88;
// Index table segment local tags.
constexpr uint16_t indexStartTag = 0x3F0C;
constexpr uint16_t indexDurationTag = 0x3F0D;
constexpr uint16_t indexEntriesTag = 0x3F0A;
constexpr uint32_t streamOffsetInEntry = 3;

bool readKey(ByteReader &in, UL &key) {
    return in.readBytes(key.data(), key.size());
}

bool readBer(ByteReader &in, uint64_t &length) {
    uint8_t first = 0;
    if (!in.readU8(first))
        return false;
    if (first < 0x80) {
        length = first;
        return true;
    }
    const uint8_t bytes = first & 0x7F;
    if (bytes == 0 || bytes > 8)
        return false;
    length = 0;
    for (uint8_t i = 0; i < bytes; ++i) {
        uint8_t byte = 0;
        if (!in.readU8(byte))
            return false;
        length = (length << 8) | byte;
    }
    return true;
}

bool samePrefix(const UL &key, const UL &reference, size_t count) {
    return std::equal(key.begin(), key.begin() + ptrdiff_t(count), reference.begin());
}

} // namespace

FileReader::FileReader(const std::string &path) : owned_(path, std::ios::binary), file_(owned_) {
    open();
}

FileReader::FileReader(std::istream &file) : file_(file) {
    open();
}

void FileReader::open() {
    util::require(file_.good(), "readable file");
    file_.seekg(0, std::ios::end);
    const std::streamoff end = file_.tellg();
    util::require(file_.good() && end >= 0, "file of known size");
    size_ = uint64_t(end);

    const std::vector<uint64_t> offsets = readRandomIndex();
    util::require(offsets.size() >= 3, "header, body and footer partitions");
    std::vector<Partition> partitions;
    for (const uint64_t offset : offsets)
        partitions.push_back(readPartition(offset));
    util::require(partitions.front().offset == 0 && partitions.front().kind == keys::headerPartition,
                  "header partition first");
    util::require(partitions.back().kind == keys::footerPartition, "footer partition last");
    closedComplete_ = partitions.front().status == keys::closedComplete;
    const auto body = std::find_if(partitions.begin(), partitions.end(),
                                   [](const Partition &p) { return p.bodySid == essenceBodySid; });
    util::require(body != partitions.end() && body + 1 != partitions.end(),
                  "body partition before the footer");
    readIndex(partitions.back(), *body, (body + 1)->offset);
}

std::vector<uint8_t> FileReader::readAt(uint64_t position, uint64_t count) {
    util::require(position <= size_ && count <= size_ - position, "read inside the file");
    std::vector<uint8_t> bytes(count);
    file_.seekg(std::streamoff(position));
    file_.read(reinterpret_cast<char *>(bytes.data()), std::streamsize(count));
    util::require(file_.good(), "successful read()");
    return bytes;
}

std::vector<uint64_t> FileReader::readRandomIndex() {
    util::require(size_ >= 4, "file holds a Random Index Pack");
    const std::vector<uint8_t> tail = readAt(size_ - 4, 4);
    ByteReader lengthReader(tail);
    uint32_t ripSize = 0;
    lengthReader.readU32BE(ripSize);
    util::require(ripSize >= keySize + 1 + 4 && ripSize <= size_, "Random Index Pack size");
    const std::vector<uint8_t> bytes = readAt(size_ - ripSize, ripSize);
    ByteReader in(bytes);
    UL key{};
    uint64_t length = 0;
    util::require(readKey(in, key) && key == keys::randomIndexPack && readBer(in, length) &&
                      length == in.remaining() && (length - 4) % 12 == 0,
                  "Random Index Pack");
    std::vector<uint64_t> offsets;
    while (in.remaining() > 4) {
        uint32_t sid = 0;
        uint64_t offset = 0;
        in.readU32BE(sid);
        in.readU64BE(offset);
        util::require(offsets.empty() || offset > offsets.back(), "partitions in file order");
        offsets.push_back(offset);
    }
    return offsets;
}

FileReader::Partition FileReader::readPartition(uint64_t offset) {
    const uint64_t available =
        std::min<uint64_t>(size_ - std::min(offset, size_), keySize + 9 + packValueBytes);
    const std::vector<uint8_t> bytes = readAt(offset, available);
    ByteReader in(bytes);
    UL key{};
    uint64_t length = 0;
    Partition pack;
    util::require(readKey(in, key) && samePrefix(key, keys::partitionPack, keys::partitionKindByte) &&
                      readBer(in, length) && length >= packValueBytes,
                  "partition pack");
    pack.offset = offset;
    pack.kind = key[keys::partitionKindByte];
    pack.status = key[keys::partitionStatusByte];
    const uint64_t valueStart = in.position();
    util::require(length <= size_ - offset - valueStart, "partition pack inside the file");
    pack.end = offset + valueStart + length;
    uint64_t thisPartition = 0, unused = 0;
    uint32_t indexSid = 0;
    const bool read = in.skip(8) && in.readU64BE(thisPartition) && in.readU64BE(unused) &&
                      in.readU64BE(unused) && in.readU64BE(pack.headerByteCount) &&
                      in.readU64BE(pack.indexByteCount) && in.readU32BE(indexSid) &&
                      in.readU64BE(pack.bodyOffset) && in.readU32BE(pack.bodySid);
    util::require(read && thisPartition == offset, "partition pack where the Random Index Pack says");
    return pack;
}

void FileReader::readIndex(const Partition &footer, const Partition &body, uint64_t essenceEnd) {
    const uint64_t maximum = std::numeric_limits<uint64_t>::max();
    util::require(footer.headerByteCount <= maximum - footer.end && footer.indexByteCount > 0 &&
                      footer.indexByteCount <= size_,
                  "index table in the footer");
    const std::vector<uint8_t> bytes = readAt(footer.end + footer.headerByteCount, footer.indexByteCount);
    const uint64_t essenceStart = body.end + body.headerByteCount + body.indexByteCount;
    util::require(essenceStart <= essenceEnd, "body partition essence");
    ByteReader in(bytes);
    while (in.remaining() > 0) {
        UL key{};
        uint64_t length = 0;
        std::span<const uint8_t> value;
        util::require(readKey(in, key) && key == keys::indexTableSegment && readBer(in, length) &&
                          in.readView(length, value),
                      "index table segment");
        ByteReader set(value);
        int64_t start = -1, duration = -1;
        std::span<const uint8_t> entries;
        while (set.remaining() > 0) {
            uint16_t tag = 0, itemLength = 0;
            std::span<const uint8_t> item;
            util::require(set.readU16BE(tag) && set.readU16BE(itemLength) && set.readView(itemLength, item),
                          "index table segment item");
            ByteReader itemReader(item);
            uint64_t number = 0;
            if (tag == indexStartTag && itemReader.readU64BE(number))
                start = int64_t(number);
            else if (tag == indexDurationTag && itemReader.readU64BE(number))
                duration = int64_t(number);
            else if (tag == indexEntriesTag)
                entries = item;
        }
        ByteReader entryReader(entries);
        uint32_t count = 0, entrySize = 0;
        util::require(start == int64_t(packages_.size()) && entryReader.readU32BE(count) &&
                          entryReader.readU32BE(entrySize) && int64_t(count) == duration &&
                          entrySize >= streamOffsetInEntry + 8 &&
                          uint64_t(count) * entrySize == entryReader.remaining(),
                      "index entries following on from the segment before");
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t streamOffset = 0;
            entryReader.seek(8 + size_t(i) * entrySize + streamOffsetInEntry);
            entryReader.readU64BE(streamOffset);
            util::require(streamOffset >= body.bodyOffset &&
                              streamOffset - body.bodyOffset < essenceEnd - essenceStart,
                          "index entry inside the body partition");
            const uint64_t position = essenceStart + (streamOffset - body.bodyOffset);
            util::require(packages_.empty() || position > packages_.back(), "index entries in file order");
            packages_.push_back(position);
        }
    }
    essenceEnd_ = essenceEnd;
}

SMDKEditUnit FileReader::readEditUnit(int64_t editUnit) {
    util::require(editUnit >= 0 && editUnit < editUnitCount(), "edit unit in the index");
    const uint64_t start = packages_[size_t(editUnit)];
    const uint64_t end =
        size_t(editUnit) + 1 < packages_.size() ? packages_[size_t(editUnit) + 1] : essenceEnd_;
    util::require(end - start <= maximumPackageSize, "content package of a sensible size");
    package_ = readAt(start, end - start);
    ByteReader in(package_);
    SMDKEditUnit unit;
    bool picture = false, data = false;
    while (in.remaining() > 0) {
        UL key{};
        uint64_t length = 0;
        std::span<const uint8_t> value;
        util::require(readKey(in, key) && readBer(in, length) && in.readView(length, value),
                      "KLV item inside its content package");
        if (key == keys::systemMetadataPack) {
            util::require(value.size() == systemMetadataPackSize && unit.userTimestamp.empty(),
                          "one system metadata pack of its size");
            unit.userTimestamp =
                value.subspan(systemUserTimestampOffset, std::tuple_size_v<SMDKUserTimestamp>);
            continue;
        }
        if (!samePrefix(key, keys::mpegPictureElement, elementPrefix))
            continue;
        switch (key[itemTypeByte]) {
        case pictureItem:
            util::require(!picture, "one picture element");
            unit.picture = value;
            picture = true;
            break;
        case soundItem: {
            const uint8_t count = key[elementCountByte], number = key[elementNumberByte];
            util::require(number < count && (unit.sound.empty() || unit.sound.size() == count),
                          "sound element numbered within its count");
            unit.sound.resize(count);
            util::require(unit.sound[number].data() == nullptr, "one element per sound channel");
            unit.sound[number] = value;
            break;
        }
        case dataItem:
            util::require(!data, "one data element");
            unit.data = value;
            data = true;
            break;
        default:
            break;
        }
    }
    util::require(picture, "a picture element in every content package");
    return unit;
}

} // namespace smdk
