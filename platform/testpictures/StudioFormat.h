#pragma once

// The format of a coded picture: its size, its chroma sampling, the bytes every coded frame fills and the
// frame rate the stream announces. Pictures are 10-bit Y'CbCr, coded in 16 x 16 macroblocks.

#include <cstdint>

struct StudioFormat {
    uint32_t width = 1920;
    uint32_t height = 1080;
    bool fullChroma = false; // 4:4:4; 4:2:2 otherwise
    uint32_t frameBytes = 1'875'000;
    uint32_t rateNumerator = 30000;
    uint32_t rateDenominator = 1001;

    uint32_t mbWidth() const { return (width + 15) / 16; }
    uint32_t mbHeight() const { return (height + 15) / 16; }
    uint32_t codedWidth() const { return mbWidth() * 16; }
    uint32_t codedHeight() const { return mbHeight() * 16; }
    uint32_t chromaWidth() const { return fullChroma ? codedWidth() : codedWidth() / 2; }
};
