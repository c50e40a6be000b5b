#pragma once

// Bounded reading of untrusted byte formats (payload blocks, frame index, serial frames, KLV).
// Every read checks the bytes left first; a read that does not fit returns false and leaves the reader
// where it was, so a corrupt or hostile input ends in a clean failure, never a read out of bounds.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t *data, size_t size) : data_(data), size_(data ? size : 0) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

    size_t size() const { return size_; }
    size_t position() const { return position_; }
    size_t remaining() const { return size_ - position_; }
    const uint8_t *data() const { return data_; }

    // Moves to an absolute position; false (and no move) beyond the end.
    bool seek(size_t position) {
        if (position > size_)
            return false;
        position_ = position;
        return true;
    }
    bool skip(size_t count) {
        if (count > remaining())
            return false;
        position_ += count;
        return true;
    }

    bool readU8(uint8_t &value) { return readBigEndian(1, value); }
    bool readU16BE(uint16_t &value) { return readBigEndian(2, value); }
    bool readU24BE(uint32_t &value) { return readBigEndian(3, value); }
    bool readU32BE(uint32_t &value) { return readBigEndian(4, value); }
    bool readU64BE(uint64_t &value) { return readBigEndian(8, value); }
    bool readU16LE(uint16_t &value) { return readLittleEndian(2, value); }
    bool readU32LE(uint32_t &value) { return readLittleEndian(4, value); }

    // Copies count bytes out.
    bool readBytes(void *out, size_t count) {
        if (count > remaining())
            return false;
        if (count != 0)
            std::memcpy(out, data_ + position_, count);
        position_ += count;
        return true;
    }
    // Takes a view of the next count bytes without copying.
    bool readView(size_t count, std::span<const uint8_t> &view) {
        if (count > remaining())
            return false;
        view = std::span<const uint8_t>(data_ + position_, count);
        position_ += count;
        return true;
    }
    // True when the bytes at the current position equal pattern; never reads past the end.
    bool startsWith(std::span<const uint8_t> pattern) const {
        return pattern.size() <= remaining() &&
               (pattern.empty() || std::memcmp(data_ + position_, pattern.data(), pattern.size()) == 0);
    }

private:
    template <typename T> bool readBigEndian(size_t count, T &value) {
        if (count > remaining())
            return false;
        T result = 0;
        for (size_t i = 0; i < count; ++i)
            result = T((result << 8) | data_[position_ + i]);
        value = result;
        position_ += count;
        return true;
    }
    template <typename T> bool readLittleEndian(size_t count, T &value) {
        if (count > remaining())
            return false;
        T result = 0;
        for (size_t i = count; i-- > 0;)
            result = T((result << 8) | data_[position_ + i]);
        value = result;
        position_ += count;
        return true;
    }

    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
};
