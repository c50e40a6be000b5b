#include "platform/smdk/OP1aDriver.h"

#include "bytes/ByteWriter.h"
#include "mxf/Assertion.h"
#include "platform/smdk/HeaderMetadata.h"
#include "platform/smdk/IndexTable.h"
#include "platform/smdk/InstanceUids.h"
#include "platform/smdk/Labels.h"
#include "platform/smdk/PartitionPack.h"
#include "platform/smdk/SystemItem.h"

#include <array>
#include <utility>

namespace smdk {

namespace {

constexpr uint32_t headerPartitionIndex = 0;
constexpr uint32_t bodyPartitionIndex = 1;
constexpr uint32_t footerPartitionIndex = 2;
// Duration of the header metadata while the file is being written.
constexpr int64_t unknownDuration = -1;

} // namespace

OP1aDriver::OP1aDriver(boost::shared_ptr<SMDKSource> source) : source_(std::move(source)) {
    util::require(source_ != nullptr, "has source");
}

void OP1aDriver::attachWriter(boost::shared_ptr<SMDKWriter> writer) {
    util::require(state_ == State::Idle, "writer attached before the first frame");
    writer_ = std::move(writer);
}

void OP1aDriver::begin() {
    util::require(writer_ != nullptr, "has writer");
    handler_ = writer_->structureHandler();
    util::require(handler_ != nullptr, "has structure handler");
    metadata_ = source_->packageMetadata();
    util::require(metadata_ != nullptr, "has package metadata");
    util::require(metadata_->essenceKind() == kEssenceKindMpegHd, "has MPEG HD essence");
    uidBase_ = randomUuid();
    const std::vector<uint8_t> headerMetadata = encodeHeaderMetadata(*metadata_, uidBase_, unknownDuration);
    channels_ = uint32_t(metadata_->soundChannelCount());
    rateCode_ = contentPackageRate(metadata_->editRate());
    headerMetadataSize_ = headerMetadata.size();

    handler_->streamStart();
    state_ = State::Writing;
    MXFPartitionDescription header;
    header.kind = keys::headerPartition;
    header.status = keys::openIncomplete;
    header.headerByteCount = headerMetadata.size();
    header.essenceContainers = essenceContainerLabels(channels_);
    handler_->partitionStart(headerPartitionIndex, &header);
    handler_->headerMetadataStart(headerPartitionIndex);
    writer_->writeBytes(headerMetadata);

    MXFPartitionDescription body;
    body.kind = keys::bodyPartition;
    body.bodySid = essenceBodySid;
    body.essenceContainers = header.essenceContainers;
    handler_->partitionStart(bodyPartitionIndex, &body);
}

void OP1aDriver::requireWritable() const {
    util::require(state_ != State::Finished, "file not finished");
    util::require(state_ != State::Failed, "no write failed part-way");
}

void OP1aDriver::processFrame() {
    requireWritable();
    try {
        if (state_ == State::Idle)
            begin();
        writeFrame();
    } catch (...) {
        // Once bytes of the file are out, a frame that failed part-way leaves it unfinishable.
        if (state_ != State::Idle)
            state_ = State::Failed;
        throw;
    }
}

void OP1aDriver::writeFrame() {
    const boost::shared_ptr<SMDKSourceBuffer> picture = source_->mpegHdEssence();
    const boost::shared_ptr<SMDKSourceBuffer> data = source_->dataEssence();
    const bool hasData = data != nullptr && data->size() > 0;
    uint8_t bitmap =
        systemBitmap::smpteLabel | systemBitmap::userTimestamp | systemBitmap::picture | systemBitmap::data;
    if (channels_ > 0)
        bitmap |= systemBitmap::sound;
    SMDKMetadataItems items = source_->packageMetadataItems();
    const SMDKMetadataItems editUnitItems = source_->editUnitMetadataItems();
    items.insert(items.end(), editUnitItems.begin(), editUnitItems.end());

    handler_->contentPackageStart(editUnits_);
    writer_->writeKLV(keys::systemMetadataPack,
                      systemMetadataPack(bitmap, rateCode_, editUnits_, source_->userTimestamp()));
    writer_->writeKLV(keys::packageMetadataSet, packageMetadataSet(items));
    writer_->writeElement(picture, keys::mpegPictureElement);
    for (uint32_t k = 0; k < channels_; ++k)
        writer_->writeElement(source_->aes3Essence(k), soundElementKey(channels_, k));
    // The data track is declared before the first edit unit, when whether the clip has data items is not
    // yet known, so every package carries its element: readers that walk the tracks element by element
    // (GStreamer's demuxer) fail on a declared track without one.
    if (hasData)
        writer_->writeElement(data, keys::ancDataElement);
    else
        writer_->writeKLV(keys::ancDataElement, kEmptyDataElement);
    ++editUnits_;
}

int64_t OP1aDriver::finalDuration() const {
    const int64_t duration = metadata_->duration();
    return duration >= 0 && duration <= editUnits_ ? duration : editUnits_;
}

void OP1aDriver::finish() {
    requireWritable();
    try {
        if (state_ == State::Idle)
            begin();
        writeFooter();
    } catch (...) {
        // A finish that failed part-way leaves the header open and incomplete, and no second footer follows.
        state_ = State::Failed;
        throw;
    }
    state_ = State::Finished;
    handler_->streamEnd();
}

// Footer partition, index and Random Index Pack, then every pack's FooterPartition field, all flushed;
// only then is the header rewritten as closed and complete, so a file whose header says so is whole.
void OP1aDriver::writeFooter() {
    const std::vector<uint8_t> headerMetadata = encodeHeaderMetadata(*metadata_, uidBase_, finalDuration());
    util::require(headerMetadata.size() == headerMetadataSize_, "header metadata keeps its size");
    std::vector<uint8_t> index;
    appendIndexTable(index, metadata_->editRate(), writer_->editUnitOffsets(), essenceIndexSid,
                     essenceBodySid);

    MXFPartitionDescription footer;
    footer.kind = keys::footerPartition;
    footer.headerByteCount = headerMetadata.size();
    footer.indexByteCount = index.size();
    footer.indexSid = index.empty() ? 0 : essenceIndexSid;
    footer.essenceContainers = essenceContainerLabels(channels_);
    const uint64_t footerOffset = writer_->position();
    handler_->partitionStart(footerPartitionIndex, &footer);
    handler_->headerMetadataStart(footerPartitionIndex);
    writer_->writeBytes(headerMetadata);
    if (!index.empty()) {
        handler_->indexTableStart(footerPartitionIndex);
        writer_->writeBytes(index);
    }
    std::vector<uint8_t> randomIndex;
    appendRandomIndexPack(randomIndex, writer_->partitions());
    writer_->writeBytes(randomIndex);

    std::vector<uint8_t> footerField;
    ByteWriter(footerField).u64BE(footerOffset);
    for (const MXFPartitionEntry &partition : writer_->partitions())
        writer_->overwrite(partition.offset + footerPartitionFieldOffset, footerField);
    writer_->flush();

    // The header partition, now closed and complete, over its open version (same size).
    MXFPartitionDescription header;
    header.kind = keys::headerPartition;
    header.status = keys::closedComplete;
    header.footerPartition = footerOffset;
    header.headerByteCount = headerMetadata.size();
    header.essenceContainers = footer.essenceContainers;
    std::vector<uint8_t> closedHeader;
    appendPartitionPack(closedHeader, header);
    closedHeader.insert(closedHeader.end(), headerMetadata.begin(), headerMetadata.end());
    writer_->overwrite(0, closedHeader);
    writer_->flush();
}

} // namespace smdk
