#pragma once

// Writing of a bitstream, most significant bit first, appended to a byte buffer. Bits reach the buffer a
// whole byte at a time: end with alignWithZeros() before the bytes are used.

#include <cstdint>
#include <vector>

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t> &out) : out_(out) {}
    BitWriter(const BitWriter &) = delete;
    BitWriter &operator=(const BitWriter &) = delete;

    // Appends the low `count` bits of value (count 0 to 32).
    void put(uint32_t value, int count) {
        if (count == 0)
            return;
        pending_ = pending_ << count | (value & (~0u >> (32 - count)));
        pendingBits_ += count;
        while (pendingBits_ >= 8) {
            pendingBits_ -= 8;
            out_.push_back(uint8_t(pending_ >> pendingBits_));
        }
    }
    // Zero bits up to the next byte boundary.
    void alignWithZeros() {
        if (pendingBits_ > 0)
            put(0, 8 - pendingBits_);
    }
    // A start code: 00 00 01 and the code byte, on a byte boundary.
    void startCode(uint8_t code) {
        alignWithZeros();
        put(0x000001u << 8 | code, 32);
    }

private:
    std::vector<uint8_t> &out_;
    uint64_t pending_ = 0; // the low pendingBits_ bits are not yet in out_
    int pendingBits_ = 0;
};
