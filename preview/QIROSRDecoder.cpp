#include "preview/QIROSRDecoder.h"

#include "card/CWyrnCard.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kPlanarRgbMode = 1; // the clip's 4:4:4 sampling
// The interleaved output buffer: a full 1920 x 1080 8-bit 4:2:2 picture over two.
constexpr uint32_t kInterleavedOutputSize = 8'294'400 / 2;
// The largest planar output made; a picture reported larger leaves the decoder inert.
constexpr uint64_t kMaxPlanarOutputSize = 64u << 20;

} // namespace

QIROSRDecoder::QIROSRDecoder(int32_t decoderMode, const QString &libraryName)
    : decoderMode(decoderMode), libraryName(libraryName) {}

QIROSRDecoder::~QIROSRDecoder() {
    if (api && destroy) {
        destroy(api);
    }
}

void QIROSRDecoder::decode(const uint8_t *data, uint32_t length) {
    if (!initialized) {
        configure(data, length);
    }
    if (!api) {
        return;
    }
    std::vector<uint8_t> output(outputSize);
    uint8_t *base = output.data();
    api->decode(data, length, 0, &status, base + planeOffsets[0], base + planeOffsets[1],
                base + planeOffsets[2], nullptr);
    emit newFrameSignal(imageFrom(base), true);
}

void QIROSRDecoder::configure(const uint8_t *data, uint32_t length) {
    if (loadLibrary()) {
        const auto create = reinterpret_cast<CreateMP4decAPIFunction>(module.resolve("createMP4decAPI"));
        destroy = reinterpret_cast<DestroyMP4decAPIFunction>(module.resolve("destroyMP4decAPI"));
        // Without its release the object could never be freed: both entry points or none.
        if (create && destroy) {
            api = create();
        }
    }
    if (!api) {
        initialized = true;
        return;
    }

    const bool planar = decoderMode == kPlanarRgbMode;
    config = MP4decConfig{};
    config.reserved0 = 8;
    config.interleaved = planar ? mp4dec::kPlanar : mp4dec::kInterleaved;
    config.bitsPerSample = planar ? 16 : 8;
    config.firstStep = planar ? 1 : 2;
    config.otherStep = planar ? 1 : 4;
    config.reserved20 = -1;
    config.scaleDivisor = mp4dec::kHalfSize;
    config.reserved28 = 1;
    config.reserved44[2] = 1;
    pictureInfo = MP4decPictureInfo{};
    status = MP4decStatus{};

    if (planar) {
        api->configure(&config, data, length, &pictureInfo, &status);
        const uint64_t width16 = (pictureInfo.width + 15u) / 16 * 16;
        const uint64_t height16 = (pictureInfo.height + 15u) / 16 * 16;
        const uint64_t size = width16 / 2 * (height16 / 2) * 6;
        outputSize = size <= kMaxPlanarOutputSize ? uint32_t(size) : 0;
        const uint32_t plane = outputSize / 3;
        planeOffsets = {plane, 2 * plane, 0};
    } else {
        outputSize = kInterleavedOutputSize;
        planeOffsets = {1, 0, 2};
        api->configure(&config, data, length, &pictureInfo, &status);
    }
    imageWidth = int(std::min<uint32_t>(kImageWidth, mp4dec::outputWidth(pictureInfo.width)));
    imageHeight = int(std::min<uint32_t>(kImageHeight, mp4dec::outputRows(pictureInfo.height)));
    if (!outputHoldsPreview()) {
        qDebug() << "No preview: the decoder reports a picture of" << pictureInfo.width << "x"
                 << pictureInfo.height;
        destroy(api);
        api = nullptr;
    }
    initialized = true;
}

bool QIROSRDecoder::loadLibrary() {
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QDir programFolder(QCoreApplication::applicationDirPath());
        candidates << programFolder.filePath(libraryName)
                   << programFolder.filePath(QStringLiteral(VANTREL_DECODER_DIR_FROM_BIN "/") + libraryName);
    }
    candidates << libraryName;
    for (const QString &candidate : candidates) {
        module.setFileName(candidate);
        if (module.load()) {
            return true;
        }
    }
    qDebug() << "No preview: the decoder library" << libraryName << "is not there:" << module.errorString();
    return false;
}

// Whether there is a picture to show and the decoder's output holds every byte the decoder writes (the image
// is made from a part of it).
bool QIROSRDecoder::outputHoldsPreview() const {
    if (imageWidth == 0 || imageHeight == 0) {
        return false;
    }
    const uint32_t width = pictureInfo.width;
    const uint64_t written = uint64_t(mp4dec::rowBytes(width)) * mp4dec::outputRows(pictureInfo.height);
    return written <= (decoderMode == kPlanarRgbMode ? outputSize / 3 : outputSize);
}

QImage QIROSRDecoder::imageFrom(const uint8_t *output) const {
    QImage image(imageWidth, imageHeight, QImage::Format_RGB32);
    const size_t pitch = mp4dec::rowBytes(pictureInfo.width);
    for (int r = 0; r < imageHeight; ++r) {
        auto *line = reinterpret_cast<uint32_t *>(image.scanLine(r));
        if (r % 2 == 1) {
            std::memcpy(line, image.constScanLine(r - 1), imageWidth * sizeof(uint32_t));
            continue;
        }
        if (decoderMode == kPlanarRgbMode) {
            // The high bytes of the 16-bit little-endian samples; the pointers went green, blue, red.
            const uint8_t *green = output + planeOffsets[0] + r * pitch;
            const uint8_t *blue = output + planeOffsets[1] + r * pitch;
            const uint8_t *red = output + planeOffsets[2] + r * pitch;
            for (int x = 0; x < imageWidth; ++x) {
                line[x] = qRgb(red[2 * x + 1], green[2 * x + 1], blue[2 * x + 1]);
            }
        } else {
            ConvertLinetoRGB(output + r * pitch, line, imageWidth, false, false);
        }
    }
    return image;
}
