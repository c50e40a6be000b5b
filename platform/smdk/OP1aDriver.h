#pragma once

// The MXF library's driver: writes an OP1a file, frame-wrapped in the generic container, from what its
// source supplies.
//
// Layout: header partition (open and incomplete while the file is written: header metadata with unknown
// durations), one body partition holding one content package per edit unit (system item, picture element,
// one sound element per channel, and the ANC data element: the edit unit's data item, or without one an
// ANC element of no packets), then at finish the footer partition (closed complete: the final header
// metadata and the VBR index of every edit unit) and the Random Index Pack; then every pack's FooterPartition
// field; and only once all that is flushed is the header partition rewritten in place as closed and complete
// with the final durations. A file whose writing stops before or inside finish keeps its open, incomplete
// header.
//
// Structure handler calls: streamStart before the first byte, partitionStart where each partition pack
// begins, streamEnd after the last byte. Runs on the thread that calls it; failures of the source, the
// writer or the stream throw util::assertion_failure.

#include "mxf/MXFStructureHandler.h"
#include "mxf/SMDKDriver.h"
#include "mxf/SMDKSource.h"
#include "platform/smdk/LocalSet.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <vector>

namespace smdk {

class OP1aDriver : public SMDKDriver {
public:
    explicit OP1aDriver(boost::shared_ptr<SMDKSource> source);

    // Throws "writer attached before the first frame" once the file has begun. After a processFrame or a
    // finish that threw part-way, processFrame and finish throw "no write failed part-way": the file stays
    // unfinished. After finish, both throw "file not finished".
    void attachWriter(boost::shared_ptr<SMDKWriter> writer) override;
    void processFrame() override;
    // The durations written are the metadata's duration as the source left it, limited to the edit units
    // actually written (all of them when the duration is unknown).
    void finish() override;

private:
    // Failed: a frame's or the footer's writing threw part-way, so the file can never be finished as
    // complete.
    enum class State { Idle, Writing, Finished, Failed };

    void begin();
    void writeFrame();
    void writeFooter();
    void requireWritable() const;
    int64_t finalDuration() const;

    boost::shared_ptr<SMDKSource> source_;
    boost::shared_ptr<SMDKWriter> writer_;
    boost::shared_ptr<SMDKMasterMetadata> metadata_;
    MXFStructureHandler *handler_ = nullptr;
    State state_ = State::Idle;
    Uuid uidBase_{};
    uint32_t channels_ = 0;
    uint8_t rateCode_ = 0;
    size_t headerMetadataSize_ = 0;
    int64_t editUnits_ = 0;
};

} // namespace smdk
