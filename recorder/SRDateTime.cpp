#include "recorder/SRDateTime.h"

#include "recorder/Bcd.h"

SRDateTime decodeSRDateTime(std::span<const uint8_t, 8> bytes) {
    SRDateTime date;
    date.year = uint16_t(fromBcd(bytes[7]) * 100 + fromBcd(bytes[6]));
    date.month = uint8_t(fromBcd(bytes[5]));
    date.day = uint8_t(fromBcd(bytes[4]));
    date.hour = uint8_t(fromBcd(bytes[3]));
    date.minute = uint8_t(fromBcd(bytes[2]));
    date.second = uint8_t(fromBcd(bytes[1]));
    date.subSecond = uint8_t(fromBcd(bytes[0]));
    return date;
}
