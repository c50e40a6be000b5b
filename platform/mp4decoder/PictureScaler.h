#pragma once

// Scales a decoded picture into caller-given planes of another size and pixel format, through libswscale.
// The scaling set-up is kept while the source and destination stay the same.

#include <array>
#include <cstdint>
#include <memory>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

class PictureScaler {
public:
    // Writes width x height pixels of format into planes, rows strides[i] bytes apart; the planes a format
    // does not use are ignored. False when the picture's format cannot be converted (nothing is written).
    bool scale(const AVFrame &picture, int width, int height, AVPixelFormat format,
               const std::array<uint8_t *, 4> &planes, const std::array<int, 4> &strides);

private:
    struct ContextFree {
        void operator()(SwsContext *context) const { sws_freeContext(context); }
    };
    std::unique_ptr<SwsContext, ContextFree> context;
};
