// The preview shows which frame it is: the simulated recorder's test pictures, decoded through the decoder
// library at half size, carry their frame number legibly, for both samplings and both picture sizes.

#include "platform/testpictures/TestPictureGenerator.h"
#include "preview/QIROSRDecoder.h"
#include "tests/support/CoreApplication.h"
#include "tests/support/TestPictureReader.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <string>

namespace {

StudioFormat format(bool fullChroma, uint32_t width, uint32_t height, uint32_t frameBytes) {
    StudioFormat format;
    format.fullChroma = fullChroma;
    format.width = width;
    format.height = height;
    format.frameBytes = frameBytes;
    return format;
}

class PreviewFrameNumber : public testing::TestWithParam<StudioFormat> {
protected:
    static void SetUpTestSuite() { testsupport::ensureCoreApplication(); }
};

TEST_P(PreviewFrameNumber, TheHalfSizePreviewOfFrameNShowsN) {
    const StudioFormat format = GetParam();
    TestPictureGenerator generator(format);
    QIROSRDecoder decoder(format.fullChroma ? 1 : 0);
    QSignalSpy spy(&decoder, &QIROSRDecoder::newFrameSignal);
    std::vector<uint8_t> picture(format.frameBytes);
    const std::vector<uint64_t> numbers{0, 7, 1234, 98765};
    for (const uint64_t number : numbers) {
        ASSERT_TRUE(generator.generate({number, 0x01000000, false}, picture));
        decoder.decode(picture.data(), uint32_t(picture.size()));
    }
    ASSERT_EQ(spy.size(), qsizetype(numbers.size()));
    for (size_t i = 0; i < numbers.size(); ++i) {
        const QImage image = spy.at(qsizetype(i)).at(0).value<QImage>();
        ASSERT_EQ(image.size(), QSize(int(format.width / 2), int(format.height / 2)));
        const auto shown = testsupport::readFrameNumber(format, [&image](uint32_t x, uint32_t y) {
            return double(qGray(image.pixel(int(x / 2), int(y / 2)))) / 255.0;
        });
        EXPECT_EQ(shown, numbers[i]) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PreviewFrameNumber,
                         testing::Values(format(false, 1920, 1080, 1'875'000),
                                         format(true, 1920, 1080, 1'875'000),
                                         format(false, 1280, 720, 937'500)),
                         [](const testing::TestParamInfo<StudioFormat> &info) {
                             return "Lines" + std::to_string(info.param.height) +
                                    (info.param.fullChroma ? "_444" : "_422");
                         });

} // namespace
