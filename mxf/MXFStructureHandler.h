#pragma once

// Callbacks through which the MXF library announces the structure of the file it writes. The library gets
// the handler from the writer it was given (SMDKWriter::structureHandler) and calls it on the thread that
// drives it; a writer writes structures in answer to some calls, a writer filter observes and forwards them.
// All positions are the stream's put position at the time of the call. Failures throw
// util::assertion_failure.

#include <cstdint>

// The library's description of one partition pack; only the library and its writer look inside.
struct MXFPartitionDescription;

class MXFStructureHandler {
public:
    virtual ~MXFStructureHandler() = default;

    // The content package of edit unit `editUnit` (0-based, in order) begins at the current position.
    virtual void contentPackageStart(int64_t editUnit) = 0;
    // Called once before anything of the file is written; the current position is the file's origin.
    virtual void streamStart() = 0;
    // Called once after everything of the file is written; nothing is written to the stream after it.
    virtual void streamEnd() = 0;
    // A partition pack begins at the current position; the writer writes it in answer to the call.
    // `partitionIndex` counts the partitions of the file from 0.
    virtual void partitionStart(uint32_t partitionIndex, const MXFPartitionDescription *description) = 0;
    // The header metadata of partition `partitionIndex` begins at the current position.
    virtual void headerMetadataStart(uint32_t partitionIndex) = 0;
    // The index table segments of partition `partitionIndex` begin at the current position.
    virtual void indexTableStart(uint32_t partitionIndex) = 0;
};
