#pragma once

// The MXF library's reader of the files its driver writes: it finds the partitions through the Random Index
// Pack, the edit units through the footer's index table, and reads each edit unit's essence elements by
// track (picture, sound channel by channel, data). Every byte of the file is untrusted: a file that does
// not have this structure, or whose offsets, lengths or keys do not add up, throws util::assertion_failure
// naming what is wrong; no read goes outside the file or a package. Runs on the thread that calls it.

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <vector>

// One edit unit's element values. The spans point into the reader and stay valid until its next read.
struct SMDKEditUnit {
    std::span<const uint8_t> picture;
    std::vector<std::span<const uint8_t>> sound; // by channel, from 0
    std::span<const uint8_t> data;               // the ANC data element's value
    // The system item's user date/time stamp (the frame's time code, SMDKUserTimestamp's layout); empty
    // when the content package has no system item.
    std::span<const uint8_t> userTimestamp;
};

class SMDKReader {
public:
    virtual ~SMDKReader() = default;

    // True when the header partition is marked closed and complete (the file was finished).
    virtual bool headerClosedComplete() const = 0;
    // Edit units the index table lists.
    virtual int64_t editUnitCount() const = 0;
    // Reads edit unit `editUnit` (0 to editUnitCount() - 1).
    virtual SMDKEditUnit readEditUnit(int64_t editUnit) = 0;
};

// Opens the file at `path` (a native path) and reads its partitions and index.
std::unique_ptr<SMDKReader> openSMDKReader(const std::string &path);
// The same over a seekable input stream of the file, which must outlive the reader.
std::unique_ptr<SMDKReader> openSMDKReader(std::istream &file);
