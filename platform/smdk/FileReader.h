#pragma once

// The library's reader (mxf/SMDKReader.h) of OP1a files as OP1aDriver writes them: header, one body
// partition of content packages, footer with the index table, Random Index Pack.

#include "mxf/SMDKReader.h"

#include <fstream>

namespace smdk {

class FileReader : public SMDKReader {
public:
    // A content package larger than this is refused rather than read.
    static constexpr uint64_t maximumPackageSize = uint64_t(64) << 20;

    explicit FileReader(const std::string &path);
    // Reads through `file`, which must outlive the reader.
    explicit FileReader(std::istream &file);

    bool headerClosedComplete() const override { return closedComplete_; }
    int64_t editUnitCount() const override { return int64_t(packages_.size()); }
    SMDKEditUnit readEditUnit(int64_t editUnit) override;

private:
    struct Partition {
        uint64_t offset = 0;
        uint64_t end = 0; // first byte after the pack
        uint8_t kind = 0;
        uint8_t status = 0;
        uint64_t headerByteCount = 0;
        uint64_t indexByteCount = 0;
        uint64_t bodyOffset = 0;
        uint32_t bodySid = 0;
    };

    std::vector<uint8_t> readAt(uint64_t position, uint64_t count);
    std::vector<uint64_t> readRandomIndex();
    Partition readPartition(uint64_t offset);
    void readIndex(const Partition &footer, const Partition &body, uint64_t essenceEnd);

    void open();

    std::ifstream owned_;
    std::istream &file_;
    uint64_t size_ = 0;
    bool closedComplete_ = false;
    // Where each content package begins in the file, and where the essence after the last one ends.
    std::vector<uint64_t> packages_;
    uint64_t essenceEnd_ = 0;
    std::vector<uint8_t> package_;
};

} // namespace smdk
