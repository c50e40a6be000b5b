#include "platform/smdk/StreamWriter.h"

#include "bytes/ByteWriter.h"
#include "mxf/Assertion.h"
#include "mxf/OutputStream.h"
#include "mxf/SMDKSourceBuffer.h"
#include "platform/smdk/Klv.h"
#include "platform/smdk/PartitionPack.h"

#include <utility>

namespace smdk {

StreamWriter::StreamWriter(boost::shared_ptr<std::ostream> stream) : stream_(std::move(stream)) {
    util::require(stream_ != nullptr, "has output stream");
}

void StreamWriter::writeElement(boost::shared_ptr<SMDKSourceBuffer> value, const MXFKey &key) {
    util::require(value != nullptr, "has essence buffer");
    const uint32_t size = value->size();
    util::require(size == 0 || value->data() != nullptr, "essence buffer holds its bytes");
    scratch_.clear();
    ByteWriter header(scratch_);
    appendKlvHeader(header, key, size);
    write(scratch_);
    write(std::span<const uint8_t>(value->data(), size));
}

void StreamWriter::writeKLV(const MXFKey &key, std::span<const uint8_t> value) {
    scratch_.clear();
    ByteWriter header(scratch_);
    appendKlvHeader(header, key, value.size());
    write(scratch_);
    write(value);
}

void StreamWriter::writeBytes(std::span<const uint8_t> bytes) {
    write(bytes);
}

void StreamWriter::overwrite(uint64_t position, std::span<const uint8_t> bytes) {
    requireOpen();
    util::require(position <= end_ && bytes.size() <= end_ - position, "overwrite what was written");
    util::seekPosition(*stream_, origin_ + position);
    util::writeChecked(*stream_, bytes);
    util::seekPosition(*stream_, origin_ + end_);
}

void StreamWriter::flush() {
    util::flushChecked(*stream_);
}

void StreamWriter::contentPackageStart(int64_t editUnit) {
    requireOpen();
    util::require(inEssence_, "content package in an essence partition");
    util::require(editUnit == int64_t(editUnitOffsets_.size()), "content packages in edit unit order");
    editUnitOffsets_.push_back(bodyOffset_ + (end_ - essenceStart_));
}

void StreamWriter::streamStart() {
    origin_ = util::tellPosition(*stream_);
    end_ = 0;
    open_ = true;
    inEssence_ = false;
    partitions_.clear();
    editUnitOffsets_.clear();
}

void StreamWriter::streamEnd() {
    requireOpen();
    flush();
    open_ = false;
}

void StreamWriter::partitionStart(uint32_t partitionIndex, const MXFPartitionDescription *description) {
    requireOpen();
    util::require(description != nullptr && partitionIndex == partitions_.size(), "partition in file order");
    MXFPartitionDescription pack = *description;
    pack.thisPartition = end_;
    pack.previousPartition = partitions_.empty() ? 0 : partitions_.back().offset;
    if (pack.kind == keys::footerPartition)
        pack.footerPartition = end_;
    scratch_.clear();
    appendPartitionPack(scratch_, pack);
    write(scratch_);
    partitions_.push_back({pack.bodySid, pack.thisPartition});
    inEssence_ = pack.bodySid != 0;
    essenceStart_ = end_;
    bodyOffset_ = pack.bodyOffset;
}

void StreamWriter::headerMetadataStart(uint32_t partitionIndex) {
    requirePartition(partitionIndex);
}

void StreamWriter::indexTableStart(uint32_t partitionIndex) {
    requirePartition(partitionIndex);
}

void StreamWriter::write(std::span<const uint8_t> bytes) {
    requireOpen();
    util::writeChecked(*stream_, bytes);
    end_ += bytes.size();
}

void StreamWriter::requireOpen() const {
    util::require(open_, "stream started and not ended");
}

void StreamWriter::requirePartition(uint32_t partitionIndex) const {
    requireOpen();
    util::require(partitionIndex + 1 == partitions_.size(), "inside the current partition");
}

} // namespace smdk
