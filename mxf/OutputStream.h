#pragma once

// Checked operations on the MXF output stream. Each one throws util::assertion_failure when the stream
// reports a failure, so a full disk or a closed file ends the write instead of leaving a silently short file.

#include "mxf/Assertion.h"

#include <cstdint>
#include <ostream>
#include <span>

namespace util {

// The stream's put position; requires a good stream and a known position ("successful tellp()").
inline uint64_t tellPosition(std::ostream &stream) {
    const std::streampos position = stream.tellp();
    require(stream.good() && position != std::streampos(-1), "successful tellp()");
    return uint64_t(std::streamoff(position));
}

// Moves the put position to an absolute byte position ("successful seekp()").
inline void seekPosition(std::ostream &stream, uint64_t position) {
    stream.seekp(std::streampos(std::streamoff(position)));
    require(stream.good(), "successful seekp()");
}

// Writes the bytes at the put position ("successful write()").
inline void writeChecked(std::ostream &stream, std::span<const uint8_t> bytes) {
    stream.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    require(stream.good(), "successful write()");
}

// Hands what the stream holds to its device ("successful flush()"), so that a failure to store the last
// bytes is reported here rather than lost when the stream is closed.
inline void flushChecked(std::ostream &stream) {
    stream.flush();
    require(stream.good(), "successful flush()");
}

} // namespace util
