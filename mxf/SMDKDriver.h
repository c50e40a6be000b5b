#pragma once

// The MXF library's driver of one file: it pulls each edit unit and the metadata from its source
// (SMDKSource) and has its writer write them. Runs on the thread that calls it; failures of the source, the
// writer or the stream throw util::assertion_failure.

#include "mxf/SMDKWriter.h"

#include <array>
#include <boost/shared_ptr.hpp>
#include <cstdint>

// The data element of an edit unit whose source has no data item: an ANC packet count of 0 (SMPTE 436M).
inline constexpr std::array<uint8_t, 2> kEmptyDataElement{0x00, 0x00};

class SMDKDriver {
public:
    virtual ~SMDKDriver() = default;

    // Sets the writer (or the head of a writer filter chain) that receives the file. Called once, before
    // the first frame.
    virtual void attachWriter(boost::shared_ptr<SMDKWriter> writer) = 0;
    // Writes one edit unit from the source's current picture, sound, data item (kEmptyDataElement without
    // one) and time stamp. The first call also writes the header partition.
    virtual void processFrame() = 0;
    // Completes the file after the last frame: footer partition with the final header metadata and the
    // index, Random Index Pack, the header partition closed. Without it the file stays marked unfinished.
    virtual void finish() = 0;
};
