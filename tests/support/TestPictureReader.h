#pragma once

// Reading the frame number back from a decoded test picture (platform/testpictures/TestPattern.h). Each
// digit is sampled at the centres of its glyph cells through the caller's lightness function, so any
// decoded form works: a 10-bit luma plane, or a preview image at another size.

#include "platform/testpictures/StudioFormat.h"
#include "platform/testpictures/TestPattern.h"

#include <array>
#include <cstdint>
#include <optional>

namespace testsupport {

// lightness(x, y) gives the picture's lightness, 0 (black) to 1 (white), at the luma sample (x, y) of the
// coded picture of format; scale to the image at hand inside it. The number modulo 10,000,000, or nothing
// when a digit is not one of the pattern's.
template <typename Lightness>
std::optional<uint64_t> readFrameNumber(const StudioFormat &format, Lightness lightness) {
    const PatternLayout layout = pattern::layoutFor(format);
    const uint32_t cell = layout.cell;
    uint64_t number = 0;
    for (uint32_t d = 0; d < pattern::kFrameNumberDigits; ++d) {
        const uint32_t left = layout.frameNumberLeft + d * pattern::kDigitAdvance * cell;
        std::array<uint8_t, pattern::kGlyphRows> rows{};
        for (uint32_t row = 0; row < pattern::kGlyphRows; ++row)
            for (uint32_t column = 0; column < pattern::kGlyphColumns; ++column)
                if (lightness(left + column * cell + cell / 2, layout.textTop + row * cell + cell / 2) > 0.5)
                    rows[row] |= uint8_t(1 << (pattern::kGlyphColumns - 1 - column));
        std::optional<uint32_t> digit;
        for (uint32_t value = 0; value < 10 && !digit; ++value)
            if (pattern::glyph(value) == rows)
                digit = value;
        if (!digit)
            return std::nullopt;
        number = number * 10 + *digit;
    }
    return number;
}

} // namespace testsupport
