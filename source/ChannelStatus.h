#pragma once

// AES3 channel status blocks of a clip's sound channels, from the recorder's data-channel mask and emphasis
// codes. Only byte 0 is set: professional use, 48 kHz, the data (non-audio) flag and the emphasis.

#include "mxf/SMDKTypes.h"

#include <cstdint>
#include <vector>

// One block per channel. Bit i of dataChannelMask marks channel i as a data channel; bits 2i and 2i+1 of
// emphasisCodes give channel i's emphasis (1 = 50/15 µs, 2 = CCITT J.17, 0 or 3 = none). Channels beyond
// the bits of the mask or the codes are audio channels without emphasis.
std::vector<SMDKChannelStatus> channelStatusBlocks(uint32_t channelCount, uint16_t dataChannelMask,
                                                   uint32_t emphasisCodes);
