#include "source/ChannelStatus.h"

namespace {

// Byte 0: professional use (bit 0), no emphasis (code 1 in bits 2-4), 48 kHz (bit 7 set, bit 6 clear).
constexpr uint8_t professional48kHz = 0x85;
constexpr uint8_t dataChannelBit = 0x02;
constexpr uint8_t emphasisMask = 0x1C;
constexpr unsigned emphasisShift = 2;
constexpr uint8_t noEmphasis = 1;
constexpr uint8_t emphasis50_15us = 3;
constexpr uint8_t emphasisCcittJ17 = 7;
constexpr uint32_t maskBits = 16;
constexpr uint32_t emphasisCodesPerWord = 16;

uint8_t emphasisFor(uint32_t code) {
    switch (code) {
    case 1:
        return emphasis50_15us;
    case 2:
        return emphasisCcittJ17;
    default:
        return noEmphasis;
    }
}

} // namespace

std::vector<SMDKChannelStatus> channelStatusBlocks(uint32_t channelCount, uint16_t dataChannelMask,
                                                   uint32_t emphasisCodes) {
    std::vector<SMDKChannelStatus> blocks(channelCount, SMDKChannelStatus{professional48kHz});
    for (uint32_t channel = 0; channel < channelCount; ++channel) {
        uint8_t &status = blocks[channel][0];
        const bool isData = channel < maskBits && (dataChannelMask >> channel & 1u) != 0;
        status = uint8_t((status & ~dataChannelBit) | (isData ? dataChannelBit : 0));
        const uint32_t code = channel < emphasisCodesPerWord ? emphasisCodes >> (2 * channel) & 3u : 0;
        status = uint8_t((status & ~emphasisMask) | emphasisFor(code) << emphasisShift);
    }
    return blocks;
}
