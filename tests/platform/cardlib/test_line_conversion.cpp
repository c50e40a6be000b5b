#include "card/CWyrnCard.h"

#include <gtest/gtest.h>
#include <vector>

TEST(LineConversion, AnOddPixelCountReadsOnlyTheLinesBytesAndShowsTheLastPixelUntinted) {
    // Three full-range grey pixels with neutral colour: Cb Y0 Cr Y1, then Cb Y2 and no Cr.
    const std::vector<uint8_t> line = {128, 200, 128, 200, 128, 200};
    std::vector<uint32_t> rgb(3, 0);
    ConvertLinetoRGB(line.data(), rgb.data(), 3, true, true);
    for (const uint32_t pixel : rgb)
        EXPECT_EQ(pixel, 0xFFC8C8C8u);
}
