#pragma once

// The decoder object behind preview/MP4DecoderApi.h: checks every argument, decodes with PictureDecoder
// and scales into the caller's output with PictureScaler. The output format and size are fixed by
// configure, so no later picture can make a decode write more than the caller was told to provide.

#include "platform/mp4decoder/PictureDecoder.h"
#include "platform/mp4decoder/PictureScaler.h"
#include "preview/MP4DecoderApi.h"

#include <memory>
#include <optional>

class Mpeg4Decoder final : public MP4decAPI {
public:
    // Null when no MPEG-4 Visual decoder can be opened.
    static std::unique_ptr<Mpeg4Decoder> create();
    explicit Mpeg4Decoder(std::unique_ptr<PictureDecoder> pictures);
    ~Mpeg4Decoder() override = default;

    int32_t configure(const MP4decConfig *config, const uint8_t *data, uint32_t length,
                      MP4decPictureInfo *pictureInfo, MP4decStatus *status) override;
    int32_t decode(const uint8_t *data, uint32_t length, uint32_t flags, MP4decStatus *status,
                   uint8_t *pointer1, uint8_t *pointer2, uint8_t *pointer3, void *reserved) override;

private:
    struct Output {
        AVPixelFormat format;
        int width;
        int height;
        int rowBytes;
    };

    std::unique_ptr<PictureDecoder> pictures;
    PictureScaler scaler;
    std::optional<Output> output;
};
