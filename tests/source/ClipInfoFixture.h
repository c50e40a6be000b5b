#pragma once

// Clip records for the source tests: a 1080-line 29.97 interlaced 4:2:2 10-bit SQ clip with two sound
// channels, adjustable per test.

#include "recorder/SRFileInfo.h"

inline SRFileInfo clipInfo() {
    SRFileInfo info;
    info.sourcePath = QStringLiteral("/SRM/CLIP0001");
    info.fileName = "CLIP0001";
    info.secondName = "REEL01";
    info.startFrame = 1958;
    info.durationFrames = 300;
    info.dateTime1 = SRDateTime{2012, 7, 15, 9, 30, 12, 5};
    info.dateTime2 = SRDateTime{2013, 1, 2, 3, 4, 5, 6};
    info.interlaced = 1;
    info.dropFrame = 1;
    info.is720 = 0;
    info.sampling = 0;
    info.codec = 1;
    info.bitDepth = 10;
    info.frameRate = 29.97;
    info.rateNumerator = 30000;
    info.rateDenominator = 1001;
    info.rawTail[kRawTailSoundChannels] = 2;
    info.rawTail[kRawTailFormatLetter] = '1';
    for (size_t i = 0; i < kClipIdentifierLength; ++i)
        info.rawTail[kRawTailIdentifier + i] = uint8_t(0x10 + i);
    info.fileValid = 1;
    return info;
}

// Sets the clip's data-channel mask and emphasis codes as the recorder reports them (little-endian).
inline void setSoundChannelCodes(SRFileInfo &info, uint8_t channels, uint16_t dataMask, uint32_t emphasis) {
    info.rawTail[kRawTailSoundChannels] = channels;
    info.rawTail[kRawTailDataChannelMask] = uint8_t(dataMask);
    info.rawTail[kRawTailDataChannelMask + 1] = uint8_t(dataMask >> 8);
    for (size_t i = 0; i < 4; ++i)
        info.rawTail[kRawTailEmphasis + i] = uint8_t(emphasis >> (8 * i));
}
