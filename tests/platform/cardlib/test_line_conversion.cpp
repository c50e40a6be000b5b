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

TEST(LineConversion, VideoRangeReachesFullSaturation) {
    // BT.601 video-range red, then blue (Cb Y Cr Y): each must come out at its full primary.
    const std::vector<uint8_t> line = {90, 81, 240, 81, 240, 41, 110, 41};
    std::vector<uint32_t> rgb(4, 0);
    ConvertLinetoRGB(line.data(), rgb.data(), 4, false, false);
    const auto near = [](uint32_t pixel, uint32_t expected) {
        for (int shift : {0, 8, 16})
            if (std::abs(int((pixel >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 2)
                return false;
        return true;
    };
    EXPECT_TRUE(near(rgb[0], 0xFFFF0000u)) << std::hex << rgb[0];
    EXPECT_TRUE(near(rgb[2], 0xFF0000FFu)) << std::hex << rgb[2];
}
