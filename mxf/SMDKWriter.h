#pragma once

// The MXF library's writer: puts the bytes of one MXF file into an output stream, front to back. The library
// (SMDKDriver) decides what to write and calls these operations; writer filters (SMDKWriterFilter) may sit
// between the library and the writer. All positions are byte offsets from the file's origin, the stream
// position at MXFStructureHandler::streamStart. Everything runs on the thread that drives the library;
// a failing stream or a broken precondition throws util::assertion_failure.

#include <array>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <span>
#include <vector>

class MXFStructureHandler;
class SMDKSourceBuffer;

// A 16-byte SMPTE key (universal label) of a KLV item.
using MXFKey = std::array<uint8_t, 16>;

// One partition pack of the file as the Random Index Pack lists it.
struct MXFPartitionEntry {
    uint32_t bodySid = 0;
    uint64_t offset = 0;
    bool operator==(const MXFPartitionEntry &) const = default;
};

class SMDKWriter {
public:
    virtual ~SMDKWriter() = default;

    // Writes one essence element: the key, a 4-byte BER length of value's size and value's bytes, taken
    // straight from the buffer (no copy). The buffer is only read during the call.
    virtual void writeElement(boost::shared_ptr<SMDKSourceBuffer> value, const MXFKey &key) = 0;
    // The writer's structure handler, owned by the writer and valid as long as it.
    virtual MXFStructureHandler *structureHandler() = 0;
    // Writes one KLV item: the key, a 4-byte BER length and the value.
    virtual void writeKLV(const MXFKey &key, std::span<const uint8_t> value) = 0;
    // Writes bytes that are already KLV-coded (header metadata, index table segments, packs).
    virtual void writeBytes(std::span<const uint8_t> bytes) = 0;
    // Bytes from the origin to the end of what has been written.
    virtual uint64_t position() = 0;
    // Overwrites bytes already written, starting at `position`; the writer then carries on at the end.
    virtual void overwrite(uint64_t position, std::span<const uint8_t> bytes) = 0;
    // Hands everything written so far to the stream's device.
    virtual void flush() = 0;
    // The partition packs written so far, in file order.
    virtual std::vector<MXFPartitionEntry> partitions() = 0;
    // Where each content package written so far begins, by edit unit, as an offset in its essence stream:
    // the BodyOffset of the partition that holds it plus its distance from that partition's first essence
    // byte.
    virtual std::vector<uint64_t> editUnitOffsets() = 0;
};
