// The encoder on pictures harder than the test pattern: fine detail in every block (a wrong block order
// or a wrong table shows at once), full-scale stripes that overshoot, noise that cannot fit the frame,
// and the start codes of the stream.
//
// FFmpeg 5.1 applies the intra matrix transposed on the first picture a decoder decodes, so pictures with
// detail are checked as a second decode of the same packet.

#include "platform/testpictures/StudioEncoder.h"
#include "tests/support/AvPictureDecoder.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace testsupport;

namespace {

using Samples = std::function<uint16_t(int plane, uint32_t x, uint32_t y)>;

PlanarPicture pictureOf(const StudioFormat &format, const Samples &samples) {
    PlanarPicture picture(format);
    for (int plane = 0; plane < 3; ++plane)
        for (uint32_t y = 0; y < picture.lineCount(); ++y)
            for (uint32_t x = 0; x < picture.width(plane); ++x)
                picture.row(plane, y)[x] = samples(plane, x, y);
    return picture;
}

// Codes picture and decodes it (twice); the decoded picture, or nothing.
std::optional<DecodedPicture> roundTrip(const StudioFormat &format, const PlanarPicture &picture,
                                        std::vector<uint8_t> &coded) {
    coded.assign(format.frameBytes, 0xFF);
    if (!studio::encodeFrame(format, picture, {5, 0, false}, coded))
        return std::nullopt;
    AvPictureDecoder decoder;
    decoder.decode(coded);
    std::optional<DecodedPicture> decoded = decoder.decode(coded);
    EXPECT_EQ(AvPictureDecoder::takeMessages(), std::vector<std::string>{});
    return decoded;
}

struct Errors {
    int largestSample = 0;
    double largestBlockMean = 0;
};

Errors errorsOf(const DecodedPicture &decoded, const PlanarPicture &source) {
    Errors errors;
    for (int plane = 0; plane < 3; ++plane)
        for (int by = 0; by + 8 <= decoded.height; by += 8)
            for (int bx = 0; bx < decoded.planeWidths[plane]; bx += 8) {
                int sum = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        const int difference = decoded.at(plane, x, y) - source.row(plane, y)[x];
                        sum += difference;
                        errors.largestSample = std::max(errors.largestSample, std::abs(difference));
                    }
                errors.largestBlockMean = std::max(errors.largestBlockMean, std::abs(sum / 64.0));
            }
    return errors;
}

} // namespace

TEST(StudioEncoder, DetailInEveryBlockComesBackInItsPlaceAtBothSamplings) {
    for (const bool fullChroma : {false, true}) {
        StudioFormat format;
        format.fullChroma = fullChroma;
        // Each block of a macroblock at its own level, each macroblock at its own offset, stripes and a
        // checkerboard inside every block.
        const PlanarPicture source = pictureOf(format, [](int plane, uint32_t x, uint32_t y) {
            const uint32_t block = (x / 8 % 2) + 2 * (y / 8 % 2);
            const uint32_t macroblock = (x / 16 + 3 * (y / 16) + 5 * uint32_t(plane)) % 7;
            return uint16_t(150 + 90 * block + 40 * macroblock + 24 * ((x + y) % 2) + 16 * (x / 2 % 2));
        });
        std::vector<uint8_t> coded;
        const std::optional<DecodedPicture> decoded = roundTrip(format, source, coded);
        ASSERT_TRUE(decoded);
        const Errors errors = errorsOf(*decoded, source);
        EXPECT_LE(errors.largestBlockMean, 1.0) << "4:4:4 " << fullChroma;
        // The quantiser's error: 4:4:4 fits the frame only at quantiser_scale_code 4.
        EXPECT_LE(errors.largestSample, 12) << "4:4:4 " << fullChroma;
    }
}

// Stripes of 1010 and 40 inside every block reconstruct above 1023 when coded as they are, which the
// decoder shows as black.
TEST(StudioEncoder, FullScaleStripesInsideBlocksNeverTurnBlack) {
    StudioFormat format;
    format.fullChroma = true;
    const PlanarPicture source = pictureOf(format, [](int plane, uint32_t x, uint32_t y) {
        return uint16_t(plane == 0 ? (x % 8 < 3 ? 1010 : 40) : (y % 8 < 5 ? 1015 : 8));
    });
    std::vector<uint8_t> coded;
    const std::optional<DecodedPicture> decoded = roundTrip(format, source, coded);
    ASSERT_TRUE(decoded);
    EXPECT_LE(errorsOf(*decoded, source).largestSample, 16);
}

// Full-scale noise does not fit a Lite frame at the finest quantiser: coarser coding and finally DC values
// alone still fill exactly the frame. Its start codes are the headers', then one slice start a slice, each
// naming its first macroblock in 12 bits (3,600 macroblocks), and no others.
TEST(StudioEncoder, NoiseFallsBackToACodingThatFitsAndStartCodesStayInPlace) {
    StudioFormat format;
    format.width = 1280;
    format.height = 720;
    format.fullChroma = true;
    format.frameBytes = 937'500;
    std::mt19937 random(7);
    const PlanarPicture source =
        pictureOf(format, [&](int, uint32_t, uint32_t) { return uint16_t(random() % 1024); });
    std::vector<uint8_t> coded;
    const std::optional<DecodedPicture> decoded = roundTrip(format, source, coded);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(coded.size(), format.frameBytes);
    EXPECT_LE(errorsOf(*decoded, source).largestBlockMean, 1.0);

    std::vector<uint32_t> codes;
    for (size_t i = 0; i + 3 < coded.size(); ++i)
        if (coded[i] == 0 && coded[i + 1] == 0 && coded[i + 2] == 1) {
            codes.push_back(coded[i + 3] == 0xB7
                                ? 0xB7000u | (uint32_t(coded[i + 4]) << 4 | coded[i + 5] >> 4)
                                : coded[i + 3]);
        }
    std::vector<uint32_t> expected{0xB0, 0xB5, 0x00, 0x20, 0xB6};
    for (const studio::SliceSpan &slice : studio::sliceGrid(format))
        expected.push_back(0xB7000u | slice.first);
    EXPECT_EQ(codes, expected);
}
