// Generated test pictures of every kind decode through libavcodec, each frame on its own, cleanly and to
// the pattern drawn for that frame, and show their frame number; coding only what moves gives the same
// bytes as coding the whole picture; consecutive frames differ all through their bytes.

#include "platform/testpictures/TestPictureGenerator.h"
#include "tests/support/AvPictureDecoder.h"
#include "tests/support/TestPictureReader.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

StudioFormat formatOf(bool is720, bool fullChroma, uint32_t frameBytes) {
    StudioFormat format;
    format.width = is720 ? 1280 : 1920;
    format.height = is720 ? 720 : 1080;
    format.fullChroma = fullChroma;
    format.frameBytes = frameBytes;
    return format;
}

int largestDifference(const DecodedPicture &decoded, const PlanarPicture &expected) {
    int largest = 0;
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < decoded.height; ++y)
            for (int x = 0; x < decoded.planeWidths[plane]; ++x)
                largest = std::max(largest, std::abs(decoded.at(plane, x, y) - expected.row(plane, y)[x]));
    return largest;
}

} // namespace

TEST(TestPictures, EveryKindDecodesCleanlyToItsPatternAndShowsItsFrameNumber) {
    for (const bool is720 : {false, true})
        for (const bool fullChroma : {false, true})
            for (const uint32_t frameBytes : {1'875'000u, 937'500u}) {
                const StudioFormat format = formatOf(is720, fullChroma, frameBytes);
                TestPictureGenerator generator(format);
                for (const studio::FrameStamp stamp : {studio::FrameStamp{0, 0x10000000, false},
                                                       studio::FrameStamp{31'415'926, 0x23595929, true}}) {
                    SCOPED_TRACE(testing::Message() << format.width << " 4:4:4 " << fullChroma << " bytes "
                                                    << frameBytes << " frame " << stamp.number);
                    std::vector<uint8_t> coded(frameBytes);
                    ASSERT_TRUE(generator.generate(stamp, coded));
                    AvPictureDecoder decoder; // a decoder of its own: the frame carries every header
                    const std::optional<DecodedPicture> decoded = decoder.decode(coded);
                    ASSERT_TRUE(decoded);
                    EXPECT_EQ(AvPictureDecoder::takeMessages(), std::vector<std::string>{});
                    EXPECT_EQ(decoded->width, int(format.width));
                    EXPECT_EQ(decoded->height, int(format.height));
                    EXPECT_EQ(decoded->format, fullChroma ? AV_PIX_FMT_YUV444P10 : AV_PIX_FMT_YUV422P10);
                    EXPECT_EQ(decoded->profile, FF_PROFILE_MPEG4_SIMPLE_STUDIO);
                    PlanarPicture expected(format);
                    generator.pattern().draw(stamp, {0, 0, format.codedWidth(), format.codedHeight()},
                                             expected);
                    EXPECT_LE(largestDifference(*decoded, expected), 2);
                    EXPECT_EQ(readFrameNumber(format,
                                              [&](uint32_t x, uint32_t y) {
                                                  return decoded->at(0, int(x), int(y)) / 1023.0;
                                              }),
                              stamp.number % 10'000'000);
                }
            }
}

TEST(TestPictures, CodingWhatMovesGivesTheBytesOfTheWholePictureCodedAtOnce) {
    const StudioFormat format = formatOf(true, false, 1'875'000);
    TestPictureGenerator generator(format);
    std::vector<uint8_t> generated(format.frameBytes);
    std::vector<uint8_t> whole(format.frameBytes);
    // Forward, back to slices coded before, the box's turning point, a jump.
    for (const uint64_t frame : {0, 1, 2, 11, 1, 0, 143, 144, 145, 9'999'999}) {
        const studio::FrameStamp stamp{frame, uint32_t(0x01000000 + frame % 25), false};
        ASSERT_TRUE(generator.generate(stamp, generated));
        PlanarPicture picture(format);
        generator.pattern().draw(stamp, {0, 0, format.codedWidth(), format.codedHeight()}, picture);
        ASSERT_TRUE(studio::encodeFrame(format, picture, stamp, whole));
        EXPECT_TRUE(generated == whole) << "frame " << frame;
    }
}

// Every stretch of a frame carries something of its own frame, so that a part of one frame taken for a
// part of the next is seen wherever it lies.
TEST(TestPictures, ConsecutiveFramesDifferInEverySixtyFourthOfTheirBytes) {
    for (const bool is720 : {false, true}) {
        const StudioFormat format = formatOf(is720, false, is720 ? 937'500 : 1'875'000);
        TestPictureGenerator generator(format);
        std::vector<uint8_t> first(format.frameBytes);
        std::vector<uint8_t> second(format.frameBytes);
        ASSERT_TRUE(generator.generate({40, 0, false}, first));
        ASSERT_TRUE(generator.generate({41, 0, false}, second));
        const size_t part = format.frameBytes / 64;
        for (size_t at = 0; at + part <= first.size(); at += part)
            EXPECT_FALSE(std::equal(first.begin() + at, first.begin() + at + part, second.begin() + at))
                << "bytes from " << at;
    }
}
