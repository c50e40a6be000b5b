#include "card/CWyrnCard.h"

#include <algorithm>

namespace {

uint8_t clampToByte(int value) {
    return uint8_t(std::clamp(value, 0, 255));
}

// Fixed-point (16.16) coefficients of the YCbCr to RGB matrices.
struct Matrix {
    int crToR, cbToG, crToG, cbToB;
};
constexpr Matrix kRec601{91881, 22554, 46802, 116130};
constexpr Matrix kRec709{103219, 12257, 30659, 121621};

// Video range: chroma spans 16..240, 224 codes where full range spans 255, so its coefficients grow by
// 255/224 just as luma's do by 255/219.
constexpr int videoChroma(int coefficient) {
    return (coefficient * 255 + 112) / 224;
}
constexpr Matrix videoRange(const Matrix &m) {
    return {videoChroma(m.crToR), videoChroma(m.cbToG), videoChroma(m.crToG), videoChroma(m.cbToB)};
}
constexpr Matrix kRec601Video = videoRange(kRec601);
constexpr Matrix kRec709Video = videoRange(kRec709);

} // namespace

void ConvertLinetoRGB(const uint8_t *ycbcr, uint32_t *rgb, uint32_t pixelCount, bool fullRange, bool rec709) {
    const Matrix &m = fullRange ? (rec709 ? kRec709 : kRec601) : (rec709 ? kRec709Video : kRec601Video);
    for (uint32_t x = 0; x < pixelCount; ++x) {
        const uint32_t pair = x / 2;
        const int cb = int(ycbcr[pair * 4 + 0]) - 128;
        // The last pixel of an odd count has no Cr sample in the line: it is shown without red-green tint.
        const bool crInLine = pair * 4 + 2 < 2 * uint64_t(pixelCount);
        const int cr = crInLine ? int(ycbcr[pair * 4 + 2]) - 128 : 0;
        int y = ycbcr[pair * 4 + 1 + (x & 1) * 2];
        // Video range: stretch 16..235 to 0..255 (76309 = 255/219 in 16.16).
        const int yScaled = fullRange ? (y << 16) : (y - 16) * 76309;
        const int r = (yScaled + m.crToR * cr) >> 16;
        const int g = (yScaled - m.cbToG * cb - m.crToG * cr) >> 16;
        const int b = (yScaled + m.cbToB * cb) >> 16;
        rgb[x] =
            0xFF000000u | (uint32_t(clampToByte(r)) << 16) | (uint32_t(clampToByte(g)) << 8) | clampToByte(b);
    }
}
