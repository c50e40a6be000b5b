#pragma once

// The writer of the MXF library: writes KLV items straight into the output stream (no buffering of its own,
// so the stream's put position is always where the next item begins) and writes each partition pack in
// answer to MXFStructureHandler::partitionStart. It keeps what the index table and the Random Index Pack
// need: where each partition pack and each content package begins. Essence elements go from the source's
// buffers to the stream without a copy. Stream failures and calls out of order throw
// util::assertion_failure.

#include "mxf/MXFStructureHandler.h"
#include "mxf/SMDKWriter.h"

#include <boost/shared_ptr.hpp>
#include <ostream>
#include <vector>

namespace smdk {

class StreamWriter : public SMDKWriter, public MXFStructureHandler {
public:
    explicit StreamWriter(boost::shared_ptr<std::ostream> stream);

    void writeElement(boost::shared_ptr<SMDKSourceBuffer> value, const MXFKey &key) override;
    MXFStructureHandler *structureHandler() override { return this; }
    void writeKLV(const MXFKey &key, std::span<const uint8_t> value) override;
    void writeBytes(std::span<const uint8_t> bytes) override;
    uint64_t position() override { return end_; }
    void overwrite(uint64_t position, std::span<const uint8_t> bytes) override;
    void flush() override;
    std::vector<MXFPartitionEntry> partitions() override { return partitions_; }
    std::vector<uint64_t> editUnitOffsets() override { return editUnitOffsets_; }

    // Notes the edit unit's offset in the essence stream; requires an essence partition and edit units in
    // order.
    void contentPackageStart(int64_t editUnit) override;
    // Takes the stream's position as the origin and forgets any earlier file.
    void streamStart() override;
    // Flushes the stream; no write is accepted after it.
    void streamEnd() override;
    // Writes the described pack at the current position, with its own and the previous pack's offsets.
    void partitionStart(uint32_t partitionIndex, const MXFPartitionDescription *description) override;
    void headerMetadataStart(uint32_t partitionIndex) override;
    void indexTableStart(uint32_t partitionIndex) override;

private:
    void write(std::span<const uint8_t> bytes);
    void requireOpen() const;
    void requirePartition(uint32_t partitionIndex) const;

    boost::shared_ptr<std::ostream> stream_;
    bool open_ = false;
    uint64_t origin_ = 0;
    uint64_t end_ = 0;
    std::vector<MXFPartitionEntry> partitions_;
    // Where the essence of the current partition begins, and its offset in the essence stream.
    bool inEssence_ = false;
    uint64_t essenceStart_ = 0;
    uint64_t bodyOffset_ = 0;
    std::vector<uint64_t> editUnitOffsets_;
    std::vector<uint8_t> scratch_;
};

} // namespace smdk
