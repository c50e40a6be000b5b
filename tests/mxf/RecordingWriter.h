#pragma once

// A writer for filter tests: it records every operation and callback it receives and writes into its
// stream like a real writer (a partition pack of `packSize` bytes in answer to partitionStart).

#include "mxf/MXFStructureHandler.h"
#include "mxf/OutputStream.h"
#include "mxf/SMDKSourceBuffer.h"
#include "mxf/SMDKWriter.h"

#include <boost/shared_ptr.hpp>
#include <ostream>
#include <string>
#include <vector>

class RecordingWriter : public SMDKWriter, public MXFStructureHandler {
public:
    static constexpr size_t packSize = 100;

    explicit RecordingWriter(boost::shared_ptr<std::ostream> stream) : stream_(std::move(stream)) {}

    std::vector<std::string> calls;
    const MXFPartitionDescription *lastDescription = nullptr;

    void writeElement(boost::shared_ptr<SMDKSourceBuffer> value, const MXFKey &key) override {
        calls.push_back("writeElement " + std::to_string(value->size()) + " " + std::to_string(key[15]));
    }
    MXFStructureHandler *structureHandler() override { return this; }
    void writeKLV(const MXFKey &key, std::span<const uint8_t> value) override {
        calls.push_back("writeKLV " + std::to_string(key[0]) + " " + std::to_string(value.size()));
    }
    void writeBytes(std::span<const uint8_t> bytes) override {
        calls.push_back("writeBytes " + std::to_string(bytes.size()));
        util::writeChecked(*stream_, bytes);
    }
    uint64_t position() override {
        calls.push_back("position");
        return 77;
    }
    void overwrite(uint64_t position, std::span<const uint8_t> bytes) override {
        calls.push_back("overwrite " + std::to_string(position) + " " + std::to_string(bytes.size()));
    }
    void flush() override { calls.push_back("flush"); }
    std::vector<MXFPartitionEntry> partitions() override {
        calls.push_back("partitions");
        return {{1, 600}};
    }
    std::vector<uint64_t> editUnitOffsets() override {
        calls.push_back("editUnitOffsets");
        return {0, 5};
    }

    void contentPackageStart(int64_t editUnit) override {
        calls.push_back("contentPackageStart " + std::to_string(editUnit));
    }
    void streamStart() override { calls.push_back("streamStart"); }
    void streamEnd() override { calls.push_back("streamEnd"); }
    void partitionStart(uint32_t partitionIndex, const MXFPartitionDescription *description) override {
        calls.push_back("partitionStart " + std::to_string(partitionIndex));
        lastDescription = description;
        const std::vector<uint8_t> pack(packSize, 0xAA);
        util::writeChecked(*stream_, pack);
    }
    void headerMetadataStart(uint32_t partitionIndex) override {
        calls.push_back("headerMetadataStart " + std::to_string(partitionIndex));
    }
    void indexTableStart(uint32_t partitionIndex) override {
        calls.push_back("indexTableStart " + std::to_string(partitionIndex));
    }

private:
    boost::shared_ptr<std::ostream> stream_;
};
