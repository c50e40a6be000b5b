#pragma once

// A 10-bit Y'CbCr picture of a format's coded size (whole macroblocks), or a band of its lines, one plane
// per component: luma, then Cb and Cr at the format's chroma width and the full height.

#include "platform/testpictures/StudioFormat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class PlanarPicture {
public:
    static constexpr int kLuma = 0;
    static constexpr int kCb = 1;
    static constexpr int kCr = 2;

    // The whole picture.
    explicit PlanarPicture(const StudioFormat &format) : PlanarPicture(format, 0, format.codedHeight()) {}
    // Lines [firstLine, firstLine + lineCount) of the picture.
    PlanarPicture(const StudioFormat &format, uint32_t firstLine, uint32_t lineCount)
        : widths{format.codedWidth(), format.chromaWidth(), format.chromaWidth()}, first(firstLine),
          lines(lineCount) {
        for (int plane = 0; plane < 3; ++plane)
            planes[plane].assign(size_t(widths[plane]) * lines, 0);
    }

    uint32_t width(int plane) const { return widths[plane]; }
    uint32_t lineCount() const { return lines; }
    // Line y of a plane, counted from the picture's top; y lies within the band.
    uint16_t *row(int plane, uint32_t y) { return planes[plane].data() + size_t(y - first) * widths[plane]; }
    const uint16_t *row(int plane, uint32_t y) const {
        return planes[plane].data() + size_t(y - first) * widths[plane];
    }
    // Lets the band hold lines [firstLine, firstLine + lineCount()) instead; their samples are stale.
    void moveTo(uint32_t firstLine) { first = firstLine; }

private:
    std::array<uint32_t, 3> widths;
    uint32_t first;
    uint32_t lines;
    std::array<std::vector<uint16_t>, 3> planes;
};
