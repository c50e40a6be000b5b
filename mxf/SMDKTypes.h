#pragma once

// Small value types that cross the MXF library boundary: rationals, integer pairs, date-times, AES3 channel
// status blocks, the per-edit-unit time stamp, package metadata items and user comments.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A rational number such as an edit rate or a sampling rate. 0/0 means "not set".
struct SMDKRational {
    int32_t numerator = 0;
    int32_t denominator = 0;
    bool operator==(const SMDKRational &) const = default;
};

// Two signed numbers: width and height, two line numbers, an aspect ratio, horizontal and vertical
// subsampling.
struct SMDKPair {
    int32_t first = 0;
    int32_t second = 0;
    bool operator==(const SMDKPair &) const = default;
};

// A calendar date and time as the recorder reports it; all zero when unknown.
struct SMDKDateTime {
    uint16_t year = 0;
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t subSecond = 0;
    bool operator==(const SMDKDateTime &) const = default;
};

// The 24-byte AES3 channel status block of one sound channel.
using SMDKChannelStatus = std::array<uint8_t, 24>;

// The SMPTE 331M date/time stamp of one edit unit: a type byte followed by sixteen bytes of time code data.
using SMDKUserTimestamp = std::array<uint8_t, 17>;

// Package metadata items of a system item: each an item type and its value bytes.
using SMDKMetadataItems = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;

// A user comment of the material package: a name and a text value, UTF-16 code units.
struct SMDKUserComment {
    std::u16string name;
    std::u16string value;
};
