#include "platform/mp4decoder/Mpeg4Decoder.h"

#include <cstdint>
#include <limits>

namespace {

// The output pixel format config asks for, if this library makes it.
std::optional<AVPixelFormat> outputFormat(const MP4decConfig &config) {
    if (config.scaleDivisor != mp4dec::kHalfSize) {
        return std::nullopt;
    }
    if (config.interleaved == mp4dec::kInterleaved && config.bitsPerSample == 8 && config.firstStep == 2 &&
        config.otherStep == 4) {
        return AV_PIX_FMT_UYVY422;
    }
    if (config.interleaved == mp4dec::kPlanar && config.bitsPerSample == 16 && config.firstStep == 1 &&
        config.otherStep == 1) {
        return AV_PIX_FMT_GBRP16LE; // planes green, blue, red: the order of the three pointers
    }
    return std::nullopt;
}

bool pictureArguments(const uint8_t *data, uint32_t length) {
    return data && length > 0 && length <= mp4dec::kMaxPictureBytes;
}

int32_t finish(MP4decStatus &status, int32_t result, int32_t codecError = 0) {
    status.result = result;
    status.codecError = codecError;
    return result;
}

} // namespace

std::unique_ptr<Mpeg4Decoder> Mpeg4Decoder::create() {
    auto pictures = PictureDecoder::create();
    return pictures ? std::make_unique<Mpeg4Decoder>(std::move(pictures)) : nullptr;
}

Mpeg4Decoder::Mpeg4Decoder(std::unique_ptr<PictureDecoder> pictures) : pictures(std::move(pictures)) {}

int32_t Mpeg4Decoder::configure(const MP4decConfig *config, const uint8_t *data, uint32_t length,
                                MP4decPictureInfo *pictureInfo, MP4decStatus *status) {
    if (!status) {
        return mp4dec::kBadArgument;
    }
    if (!config || !pictureInfo || !pictureArguments(data, length)) {
        return finish(*status, mp4dec::kBadArgument);
    }
    const std::optional<AVPixelFormat> format = outputFormat(*config);
    if (!format) {
        return finish(*status, mp4dec::kUnsupportedConfig);
    }
    output.reset();
    int32_t codecError = 0;
    const AVFrame *picture = pictures->decode({data, length}, codecError);
    constexpr int kLargest = std::numeric_limits<uint16_t>::max();
    if (!picture || picture->width <= 0 || picture->height <= 0 || picture->width > kLargest ||
        picture->height > kLargest) {
        return finish(*status, mp4dec::kUndecodable, codecError);
    }
    const auto width = uint32_t(picture->width);
    const auto height = uint32_t(picture->height);
    output = Output{*format, int(mp4dec::outputWidth(width)), int(mp4dec::outputRows(height)),
                    int(mp4dec::rowBytes(width))};
    pictureInfo->height = uint16_t(height);
    pictureInfo->width = uint16_t(width);
    return finish(*status, mp4dec::kOk);
}

int32_t Mpeg4Decoder::decode(const uint8_t *data, uint32_t length, uint32_t flags, MP4decStatus *status,
                             uint8_t *pointer1, uint8_t *pointer2, uint8_t *pointer3, void *reserved) {
    if (!status) {
        return mp4dec::kBadArgument;
    }
    if (!pictureArguments(data, length) || !pointer1 || !pointer2 || !pointer3 || flags != 0 || reserved) {
        return finish(*status, mp4dec::kBadArgument);
    }
    if (!output) {
        return finish(*status, mp4dec::kNotConfigured);
    }
    std::array<uint8_t *, 4> planes{pointer1, pointer2, pointer3, nullptr};
    if (output->format == AV_PIX_FMT_UYVY422) {
        // One interleaved picture: Cb at its start, Y one byte on, Cr two bytes on.
        const auto base = reinterpret_cast<uintptr_t>(pointer2);
        if (reinterpret_cast<uintptr_t>(pointer1) != base + 1 ||
            reinterpret_cast<uintptr_t>(pointer3) != base + 2) {
            return finish(*status, mp4dec::kBadArgument);
        }
        planes = {pointer2, nullptr, nullptr, nullptr};
    }
    int32_t codecError = 0;
    const AVFrame *picture = pictures->decode({data, length}, codecError);
    if (!picture) {
        return finish(*status, mp4dec::kUndecodable, codecError);
    }
    const std::array<int, 4> strides{output->rowBytes, output->rowBytes, output->rowBytes, 0};
    if (!scaler.scale(*picture, output->width, output->height, output->format, planes, strides)) {
        return finish(*status, mp4dec::kUndecodable);
    }
    ++status->pictures;
    return finish(*status, mp4dec::kOk);
}
