#include "card/CWyrnCard.h"
#include "preview/QIROSRDecoder.h"
#include "tests/support/CoreApplication.h"
#include "tests/support/Mpeg4Pictures.h"
#include "tests/support/RandomBytes.h"

#include <QSignalSpy>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class PreviewDecoder : public testing::Test {
protected:
    // The library is looked for beside the application, so the tests run inside one.
    static void SetUpTestSuite() { testsupport::ensureCoreApplication(); }

    // The images emitted while decoding the pictures in turn.
    static QList<QImage> imagesOf(int32_t mode, const std::vector<std::vector<uint8_t>> &pictures,
                                  const QString &library = QIROSRDecoder::kLibraryName) {
        QIROSRDecoder decoder(mode, library);
        QSignalSpy spy(&decoder, &QIROSRDecoder::newFrameSignal);
        for (const std::vector<uint8_t> &picture : pictures)
            decoder.decode(picture.data(), uint32_t(picture.size()));
        QList<QImage> images;
        for (const QList<QVariant> &arguments : spy) {
            EXPECT_TRUE(arguments.at(1).toBool());
            images << arguments.at(0).value<QImage>();
        }
        return images;
    }
};

// The source over 2 x 2 pixels, as 4:2:2 at row r of the half-size picture, shown as the image shows it.
std::vector<uint32_t> referenceRow(int r) {
    const Yuv420Picture &s = ramps1080();
    std::vector<uint8_t> line(1920);
    for (int x = 0; x < 960; ++x) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                sum += s.y[size_t(2 * r + dy) * 1920 + 2 * x + dx];
        line[2 * x + 1] = uint8_t((sum + 2) / 4);
    }
    for (int pair = 0; pair < 480; ++pair) {
        const size_t at = size_t(r) * 960 + 2 * pair;
        line[4 * pair] = uint8_t((s.cb[at] + s.cb[at + 1] + 1) / 2);
        line[4 * pair + 2] = uint8_t((s.cr[at] + s.cr[at + 1] + 1) / 2);
    }
    std::vector<uint32_t> rgb(960);
    ConvertLinetoRGB(line.data(), rgb.data(), 960, false, false);
    return rgb;
}

// The largest difference of one colour component between two pixels.
int difference(QRgb a, QRgb b) {
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

TEST_F(PreviewDecoder, ShowsThePictureAtHalfSizeWithEveryOtherRowDoubled) {
    const QList<QImage> images = imagesOf(2, {picture1080()});
    ASSERT_EQ(images.size(), 1);
    const QImage &image = images[0];
    ASSERT_EQ(image.size(), QSize(960, 540));
    ASSERT_EQ(image.format(), QImage::Format_RGB32);
    int worst = 0;
    for (int r = 0; r < 540; r += 2) {
        const std::vector<uint32_t> reference = referenceRow(r);
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(r));
        for (int x = 0; x < 960; ++x)
            worst = std::max(worst, difference(row[x], reference[x]));
        ASSERT_EQ(std::memcmp(image.constScanLine(r + 1), row, 3840), 0) << "row " << r + 1;
    }
    EXPECT_LE(worst, 4);
}

TEST_F(PreviewDecoder, PlanarRgbModeShowsTheSamePicture) {
    const QList<QImage> rgb = imagesOf(1, {picture1080()});
    const QList<QImage> ycbcr = imagesOf(2, {picture1080()});
    ASSERT_EQ(rgb.size(), 1);
    ASSERT_EQ(ycbcr.size(), 1);
    int worst = 0;
    for (int r = 0; r < 540; ++r)
        for (int x = 0; x < 960; ++x)
            worst = std::max(worst, difference(rgb[0].pixel(x, r), ycbcr[0].pixel(x, r)));
    EXPECT_LE(worst, 2);
}

TEST_F(PreviewDecoder, MissingLibraryShowsNothing) {
    EXPECT_TRUE(imagesOf(2, {picture1080(), picture1080()}, "vantrel_no_such_decoder").isEmpty());
}

TEST_F(PreviewDecoder, FirstPictureConfiguresTheDecoderOnce) {
    const std::vector<uint8_t> garbage = randomBytes(200'000, 9);
    EXPECT_TRUE(imagesOf(2, {garbage, picture1080()}).isEmpty());
    EXPECT_TRUE(imagesOf(1, {garbage, picture1080()}).isEmpty());
    // A 720-line first picture sets a 640 x 360 image, which a later 1080-line picture keeps.
    const std::vector<uint8_t> picture720 = encodeMpeg4(Yuv420Picture::ramps(1280, 720));
    for (const int32_t mode : {1, 2}) {
        const QList<QImage> images = imagesOf(mode, {picture720, picture1080()});
        ASSERT_EQ(images.size(), 2) << "mode " << mode;
        EXPECT_EQ(images[0].size(), QSize(640, 360));
        EXPECT_EQ(images[1].size(), QSize(640, 360));
    }
}

TEST_F(PreviewDecoder, UndecodablePictureShowsTheZeroedOutput) {
    const QList<QImage> images = imagesOf(2, {picture1080(), randomBytes(200'000, 9), picture1080()});
    ASSERT_EQ(images.size(), 3);
    const std::vector<uint8_t> zeros(4, 0);
    uint32_t zeroed[2];
    ConvertLinetoRGB(zeros.data(), zeroed, 2, false, false);
    for (int r = 0; r < 540; ++r)
        for (int x = 0; x < 960; ++x)
            ASSERT_EQ(images[1].pixel(x, r), zeroed[0]) << x << "," << r;
    EXPECT_EQ(images[2], images[0]);
    EXPECT_EQ(imagesOf(1, {picture1080(), randomBytes(200'000, 9)}).value(1).pixel(480, 270), qRgb(0, 0, 0));
}

} // namespace
