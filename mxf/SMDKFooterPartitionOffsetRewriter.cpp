#include "mxf/SMDKFooterPartitionOffsetRewriter.h"

#include "mxf/Assertion.h"
#include "mxf/OutputStream.h"

#include <array>
#include <utility>

SMDKFooterPartitionOffsetRewriter::SMDKFooterPartitionOffsetRewriter(boost::shared_ptr<std::ostream> stream,
                                                                     boost::shared_ptr<SMDKWriter> writer)
    : SMDKDefaultWriterFilter(std::move(writer)), stream(std::move(stream)) {
    util::require(this->stream != nullptr, "has output stream");
}

MXFStructureHandler *SMDKFooterPartitionOffsetRewriter::structureHandler() {
    return this;
}

void SMDKFooterPartitionOffsetRewriter::contentPackageStart(int64_t editUnit) {
    wrappedHandler().contentPackageStart(editUnit);
}

void SMDKFooterPartitionOffsetRewriter::streamStart() {
    origin = util::tellPosition(*stream);
    packs.clear();
    wrappedHandler().streamStart();
}

void SMDKFooterPartitionOffsetRewriter::streamEnd() {
    wrappedHandler().streamEnd();
    rewriteFooterOffsets();
}

void SMDKFooterPartitionOffsetRewriter::partitionStart(uint32_t partitionIndex,
                                                       const MXFPartitionDescription *description) {
    packs.push_back(PackEntry{util::tellPosition(*stream) - origin});
    wrappedHandler().partitionStart(partitionIndex, description);
}

void SMDKFooterPartitionOffsetRewriter::headerMetadataStart(uint32_t partitionIndex) {
    wrappedHandler().headerMetadataStart(partitionIndex);
}

void SMDKFooterPartitionOffsetRewriter::indexTableStart(uint32_t partitionIndex) {
    wrappedHandler().indexTableStart(partitionIndex);
}

MXFStructureHandler &SMDKFooterPartitionOffsetRewriter::wrappedHandler() const {
    MXFStructureHandler *handler = next().structureHandler();
    util::require(handler != nullptr, "has structure handler");
    return *handler;
}

void SMDKFooterPartitionOffsetRewriter::rewriteFooterOffsets() {
    if (packs.empty())
        return;
    const uint64_t footer = packs.back().offset;
    std::array<uint8_t, 8> field{};
    for (size_t i = 0; i < field.size(); ++i)
        field[i] = uint8_t(footer >> (8 * (field.size() - 1 - i)));
    for (const PackEntry &pack : packs) {
        util::seekPosition(*stream, origin + pack.offset + footerPartitionFieldOffset);
        util::writeChecked(*stream, field);
    }
    util::flushChecked(*stream);
}
