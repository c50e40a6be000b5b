#pragma once

// A recorder date-time, decoded from its eight BCD bytes.

#include <cstdint>
#include <span>

struct SRDateTime {
    uint16_t year = 0;
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t subSecond = 0;

    friend bool operator==(const SRDateTime &, const SRDateTime &) = default;
};

// Decodes bytes b0 to b7, least significant first: sub-second, second, minute, hour, day, month, the
// year's last two digits, century. Each byte is read as two BCD digits; nothing is rejected.
SRDateTime decodeSRDateTime(std::span<const uint8_t, 8> bytes);
