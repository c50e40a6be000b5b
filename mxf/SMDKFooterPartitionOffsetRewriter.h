#pragma once

// A writer filter that fills in the FooterPartition field of every partition pack once the footer is known.
// It notes where each partition pack begins (partitionStart) and, when the stream ends, writes the footer
// pack's offset as eight big-endian bytes at pack offset + 44 of every pack, the footer's own included.
// It is also the structure handler the library sees: each callback reaches the wrapped writer's handler
// unchanged. The stream must be the one the wrapped writer writes to, unbuffered by the writer, so that its
// put position is where the next pack begins. Stream failures (tellp, seekp, write, flush) throw
// util::assertion_failure.

#include "mxf/MXFStructureHandler.h"
#include "mxf/SMDKDefaultWriterFilter.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <ostream>
#include <vector>

class SMDKFooterPartitionOffsetRewriter : public SMDKDefaultWriterFilter, public MXFStructureHandler {
public:
    // Offset of the FooterPartition field from the first byte of a partition pack written with a 4-byte BER
    // length: key 16, length 4, versions 4, KAGSize 4, ThisPartition 8, PreviousPartition 8.
    static constexpr uint64_t footerPartitionFieldOffset = 44;

    SMDKFooterPartitionOffsetRewriter(boost::shared_ptr<std::ostream> stream,
                                      boost::shared_ptr<SMDKWriter> writer);

    // Returns this filter, so that the library's structure callbacks pass through it.
    MXFStructureHandler *structureHandler() override;

    void contentPackageStart(int64_t editUnit) override;
    // Notes the origin and forgets the packs of any earlier stream.
    void streamStart() override;
    // Forwards, then rewrites the FooterPartition fields and flushes the stream, so that a failure to store
    // them throws here; the stream is left after the last field written.
    void streamEnd() override;
    // Notes the position of the pack (relative to the origin), then forwards.
    void partitionStart(uint32_t partitionIndex, const MXFPartitionDescription *description) override;
    void headerMetadataStart(uint32_t partitionIndex) override;
    void indexTableStart(uint32_t partitionIndex) override;

private:
    struct PackEntry {
        uint64_t offset = 0;
    };

    MXFStructureHandler &wrappedHandler() const;
    void rewriteFooterOffsets();

    boost::shared_ptr<std::ostream> stream;
    uint64_t origin = 0;
    std::vector<PackEntry> packs;
};
