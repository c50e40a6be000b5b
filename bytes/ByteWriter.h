#pragma once

// Writing of byte formats into a growable buffer: big-endian integers as the payload index, KLV and the
// recorder's frames use them, little-endian where a format asks for it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t> &out) : out_(out) {}

    size_t size() const { return out_.size(); }

    void u8(uint8_t value) { out_.push_back(value); }
    void u16BE(uint16_t value) { bigEndian(value, 2); }
    void u24BE(uint32_t value) { bigEndian(value, 3); }
    void u32BE(uint32_t value) { bigEndian(value, 4); }
    void u64BE(uint64_t value) { bigEndian(value, 8); }
    void u16LE(uint16_t value) { littleEndian(value, 2); }
    void u24LE(uint32_t value) { littleEndian(value, 3); }
    void u32LE(uint32_t value) { littleEndian(value, 4); }
    void bytes(std::span<const uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
    void fill(uint8_t value, size_t count) { out_.insert(out_.end(), count, value); }

    // Overwrites an already written big-endian field, e.g. a length known only after its content.
    // False when the field does not lie inside what was written.
    bool patchU32BE(size_t offset, uint32_t value) {
        if (offset > out_.size() || out_.size() - offset < 4)
            return false;
        for (size_t i = 0; i < 4; ++i)
            out_[offset + i] = uint8_t(value >> (8 * (3 - i)));
        return true;
    }

private:
    void bigEndian(uint64_t value, size_t count) {
        for (size_t i = count; i-- > 0;)
            out_.push_back(uint8_t(value >> (8 * i)));
    }
    void littleEndian(uint64_t value, size_t count) {
        for (size_t i = 0; i < count; ++i)
            out_.push_back(uint8_t(value >> (8 * i)));
    }

    std::vector<uint8_t> &out_;
};
