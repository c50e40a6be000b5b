#pragma once

// Two BCD digits of one byte as a number: tens digit × 10 + units digit. Digits above 9 are taken at
// face value, as the recorder's readers always did, so any byte decodes (0xFF gives 165).

#include <cstdint>

inline uint32_t fromBcd(uint8_t byte) {
    return uint32_t(byte >> 4) * 10 + (byte & 0x0F);
}
