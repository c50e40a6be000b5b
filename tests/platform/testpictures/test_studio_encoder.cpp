// The encoder on pictures harder than the test pattern: fine detail in every block (a wrong block order
// or a wrong table shows at once), full-scale stripes that overshoot, noise that cannot fit the frame,
// and the start codes of the stream.
//
// FFmpeg 5.1 applies the intra matrix transposed on the first picture a decoder decodes, so pictures with
// detail are checked as a second decode of the same packet.

#include "platform/testpictures/StudioEncoder.h"
#include "tests/support/AvPictureDecoder.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
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

// Every block holds one DCT basis pattern, all 64 in turn, half of them negated, at an amplitude that
// needs escapes, over a level of its own within its macroblock: a wrong block order, scan, weight or code
// shows.
TEST(StudioEncoder, EveryBasisPatternComesBackInItsBlockAtBothSamplings) {
    for (const bool fullChroma : {false, true}) {
        StudioFormat format;
        format.fullChroma = fullChroma;
        const PlanarPicture source = pictureOf(format, [](int plane, uint32_t x, uint32_t y) {
            const uint32_t bx = x / 8;
            const uint32_t by = y / 8;
            const uint32_t basis = (bx + 3 * by + uint32_t(plane)) % 64;
            const double sign = (bx / 8 + by) % 2 == 0 ? 1 : -1;
            const double pattern = std::cos((2 * (x % 8) + 1) * (basis % 8) * std::numbers::pi / 16) *
                                   std::cos((2 * (y % 8) + 1) * (basis / 8) * std::numbers::pi / 16);
            const double level = 300 + 90 * (bx % 2 + 2 * (by % 2)) + 30 * ((x / 16 + y / 16) % 5);
            return uint16_t(std::lround(level + sign * 150 * pattern));
        });
        std::vector<uint8_t> coded;
        const std::optional<DecodedPicture> decoded = roundTrip(format, source, coded);
        ASSERT_TRUE(decoded);
        const Errors errors = errorsOf(*decoded, source);
        EXPECT_LE(errors.largestBlockMean, 1.0) << "4:4:4 " << fullChroma;
        EXPECT_LE(errors.largestSample, 3) << "4:4:4 " << fullChroma;
    }
}

// Full-scale stripes inside every block: the quantiser's error lifts samples of 1023 above 1023, which the
// decoder shows as black, unless the encoder keeps the block's reconstruction below.
TEST(StudioEncoder, FullScaleStripesInsideBlocksNeverTurnBlack) {
    StudioFormat format;
    format.width = 1280;
    format.height = 720;
    format.fullChroma = true;
    const PlanarPicture source = pictureOf(format, [](int plane, uint32_t x, uint32_t y) {
        return uint16_t(plane == 0 ? (x % 8 < 3 ? 1023 : 0) : (y % 8 < 5 ? 1023 : 0));
    });
    std::vector<uint8_t> coded;
    const std::optional<DecodedPicture> decoded = roundTrip(format, source, coded);
    ASSERT_TRUE(decoded);
    // Edges softened by the guard, never a sample of 1023 shown as 0.
    EXPECT_LT(errorsOf(*decoded, source).largestSample, 256);
}

// Full-scale noise does not fit a Lite frame at the finest quantiser: coarser coding and finally DC values
// alone still fill exactly the frame. Its start codes are the headers', then one slice start a slice, each
// naming its first macroblock in 12 bits (3,600 macroblocks) and its frame, and no others.
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

    // A slice start code as B7, its macroblock number (12 bits) and its frame (slice_VOP_id, frame 5).
    std::vector<uint32_t> codes;
    for (size_t i = 0; i + 7 < coded.size(); ++i)
        if (coded[i] == 0 && coded[i + 1] == 0 && coded[i + 2] == 1) {
            const uint32_t word = uint32_t(coded[i + 4]) << 24 | uint32_t(coded[i + 5]) << 16 |
                                  uint32_t(coded[i + 6]) << 8 | coded[i + 7];
            codes.push_back(coded[i + 3] == 0xB7 ? 0xB7u << 24 | (word >> 20) << 8 | (word >> 6 & 63)
                                                 : coded[i + 3]);
        }
    std::vector<uint32_t> expected{0xB0, 0xB5, 0x00, 0x20, 0xB6};
    for (const studio::SliceSpan &slice : studio::sliceGrid(format))
        expected.push_back(0xB7u << 24 | slice.first << 8 | 5);
    EXPECT_EQ(codes, expected);
}
