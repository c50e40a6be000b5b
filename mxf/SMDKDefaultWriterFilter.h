#pragma once

// A writer filter that passes every writer operation unchanged to the wrapped writer and returns its
// result. Filters derive from it and override what they need to see. An operation with no wrapped writer
// throws util::assertion_failure "has wrapped writer".

#include "mxf/SMDKWriterFilter.h"

class SMDKDefaultWriterFilter : public SMDKWriterFilter {
public:
    explicit SMDKDefaultWriterFilter(boost::shared_ptr<SMDKWriter> writer = {});

    void writeElement(boost::shared_ptr<SMDKSourceBuffer> value, const MXFKey &key) override;
    MXFStructureHandler *structureHandler() override;
    void writeKLV(const MXFKey &key, std::span<const uint8_t> value) override;
    void writeBytes(std::span<const uint8_t> bytes) override;
    uint64_t position() override;
    void overwrite(uint64_t position, std::span<const uint8_t> bytes) override;
    void flush() override;
    std::vector<MXFPartitionEntry> partitions() override;
    std::vector<uint64_t> editUnitOffsets() override;

    void setWrappedWriter(boost::shared_ptr<SMDKWriter> writer) override;
    boost::shared_ptr<SMDKWriter> wrappedWriter() const override;

protected:
    // The wrapped writer; throws when none is set.
    SMDKWriter &next() const;

private:
    boost::shared_ptr<SMDKWriter> next_;
};
