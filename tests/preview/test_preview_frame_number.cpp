// The preview shows which frame it is: the simulated recorder's test pictures, decoded through the decoder
// library at half size, carry their frame number legibly, for both samplings.

#include "platform/testpictures/TestPictureGenerator.h"
#include "preview/QIROSRDecoder.h"
#include "tests/support/CoreApplication.h"
#include "tests/support/TestPictureReader.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class PreviewFrameNumber : public testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { testsupport::ensureCoreApplication(); }
};

TEST_P(PreviewFrameNumber, TheHalfSizePreviewOfFrameNShowsN) {
    StudioFormat format;
    format.fullChroma = GetParam();
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
        const auto shown = testsupport::readFrameNumber(format, [&image](uint32_t x, uint32_t y) {
            return double(qGray(image.pixel(int(x / 2), int(y / 2)))) / 255.0;
        });
        EXPECT_EQ(shown, numbers[i]) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Samplings, PreviewFrameNumber, testing::Values(false, true));

} // namespace
