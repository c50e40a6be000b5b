#pragma once

// One file on the recorder, decoded from its file-information reply (FileInfoDecoding.h): the texts of
// the clip table's columns and the numbers a transfer uses. Copied by value between the recorder device,
// the window, the capture object, the writer and the source. Every field the decoding does not set
// holds zero.

#include "recorder/SRDateTime.h"

#include <QString>
#include <array>
#include <cstdint>
#include <string>

// Reply bytes 173 to 205, carried unchanged. Byte 1: number of sound channels; bytes 2-3: data-channel
// mask, little-endian, bit i for sound channel i; bytes 4-7: emphasis codes, little-endian, 2 bits per
// channel (channel i in bits 2i and 2i+1); byte 8: format letter ("!", "1" or "A"); bytes 9-32: the
// clip's 24-byte identifier.
inline constexpr size_t kRawTailSize = 33;
inline constexpr size_t kRawTailSoundChannels = 1;
inline constexpr size_t kRawTailDataChannelMask = 2;
inline constexpr size_t kRawTailEmphasis = 4;
inline constexpr size_t kRawTailFormatLetter = 8;
inline constexpr size_t kRawTailIdentifier = 9;
inline constexpr size_t kClipIdentifierLength = 24;

struct SRFileInfo {
    QString sourcePath;      // the recorder's path, the same for every file of one reading
    std::string fileName;    // "FileName" column; the name sent to select the file
    std::string secondName;  // the clip's folder name: the folder below the destination
    std::string startText;   // "Start" column: "hh:mm:ss:ff " or, for drop frame, "hh:mm:ss,ff "
    uint64_t startFrame = 0; // frame count of the start timecode
    uint32_t durationFrames = 0;
    std::string durationText; // "Duration" column, formatted as startText
    std::string formatText;   // "Format" column, e.g. "59.94i 1080 4:2:2 10bit SR-HQ"
    SRDateTime dateTime1;
    std::string dateText1; // "Date" column: "YYYY/MM/DD hh:mm"
    SRDateTime dateTime2;
    std::string dateText2;     // formatted as dateText1; not shown
    uint8_t interlaced = 0;    // 1 when the scan code is 0
    uint8_t psf = 0;           // 1 when the scan code is 1
    uint8_t stereo3D = 0;      // 1 when the 3D code is 1
    uint8_t dropFrame = 0;     // 1 for a drop-frame timecode
    int32_t is720 = 0;         // 1 for 720 lines, 0 for 1080 and unknown sizes
    int32_t sampling = 0;      // 0 = 4:2:2, 1 = 4:4:4, 2 = 4:4:4 XYZ
    int32_t codec = 0;         // 0 HQ, 1 SQ, 2 Lite
    int16_t bitDepth = 0;      // 8, 10, 12 or 16
    double frameRate = 0;      // 23.98, 24, 25, 29.97, ... as the rate tables give it
    int32_t rateNumerator = 0; // edit rate
    int32_t rateDenominator = 0;
    std::array<uint8_t, kRawTailSize> rawTail{};
    uint8_t fileValid = 0; // 1 when the recorder marks the file valid
};
