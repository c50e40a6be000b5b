#pragma once

// The key and BER length at the front of a KLV item, read through the bounded reader.

#include "bytes/ByteReader.h"
#include "conform/MxfKeys.h"

namespace conform {

enum class KlvHeaderRead { Read, CutOff, BadLength };

// Reads the key and the length; the value is not read and not checked against what is left. BadLength:
// a long-form length of none or more than 8 bytes.
inline KlvHeaderRead readKlvHeader(ByteReader &reader, Key &key, uint64_t &length) {
    constexpr uint8_t kLongForm = 0x80;
    constexpr size_t kMaxLengthBytes = 8;
    uint8_t first = 0;
    if (!reader.readBytes(key.data(), kKeySize) || !reader.readU8(first))
        return KlvHeaderRead::CutOff;
    if (first < kLongForm) {
        length = first;
        return KlvHeaderRead::Read;
    }
    const size_t bytes = first & ~kLongForm;
    if (bytes == 0 || bytes > kMaxLengthBytes)
        return KlvHeaderRead::BadLength;
    length = 0;
    for (size_t i = 0; i < bytes; ++i) {
        uint8_t byte = 0;
        if (!reader.readU8(byte))
            return KlvHeaderRead::CutOff;
        length = length << 8 | byte;
    }
    return KlvHeaderRead::Read;
}

} // namespace conform
