#pragma once

// One clip of the simulated recorder as its manifest describes it: everything the file-information reply
// carries. The codes rateIndex to stereo3D are the raw reply bytes 165 to 172 and may hold any value, so
// that codes outside the recorder's tables can be played back too. Copyable by value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// A recording date-time as the recorder stamps it; year 0 to 9999, hundredths 0 to 99.
struct ClipDateTime {
    uint16_t year = 2000;
    uint8_t month = 1;
    uint8_t day = 1;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t hundredths = 0;

    friend bool operator==(const ClipDateTime &, const ClipDateTime &) = default;
};

// A start timecode: hours 0 to 23, minutes and seconds 0 to 59, frames 0 to 39 (the reply's frames byte
// holds two BCD digits in six bits).
struct ClipTimecode {
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint8_t frames = 0;

    friend bool operator==(const ClipTimecode &, const ClipTimecode &) = default;
};

// Length of the clip identifier carried at the end of the reply.
inline constexpr size_t kClipIdentifierSize = 24;

struct ClipRecord {
    std::string fileName;   // at most 64 bytes reach the reply
    std::string secondName; // the clip's folder name, at most 64 bytes reach the reply
    uint8_t valid = 1;      // reply byte 8: non-zero = valid
    uint32_t durationFrames = 0;
    ClipDateTime date1;
    ClipDateTime date2;
    uint8_t dropFrame = 0; // reply byte 159: non-zero = drop frame
    ClipTimecode startTimecode;

    // Raw format codes, reply bytes 165 to 172 (170 is not carried).
    uint8_t rateIndex = 3; // with scan 0: 59.94i
    uint8_t scan = 0;      // 0 interlaced, 1 PsF, other values progressive
    uint8_t size = 1;      // 0 = 720, 1 = 1080
    uint8_t sampling = 0;  // 0 = 4:2:2, 1 = 4:4:4, 2 = 4:4:4 XYZ
    uint8_t bitDepth = 1;  // 0 = 8, 1 = 10, 2 = 12, 3 = 16 bits
    uint8_t codec = 0;     // 0 HQ, 1 SQ, 2 Lite
    uint8_t stereo3D = 0;  // 1 = 3D

    uint8_t soundChannels = 2;
    uint16_t dataChannelMask = 0; // bit i for sound channel i
    uint32_t emphasis = 0;        // 2 bits per sound channel, channel i in bits 2i and 2i+1
    char formatLetter = '1';      // "!", "1" or "A"
    std::array<uint8_t, kClipIdentifierSize> identifier{};

    friend bool operator==(const ClipRecord &, const ClipRecord &) = default;
};
