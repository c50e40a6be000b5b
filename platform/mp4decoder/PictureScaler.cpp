#include "platform/mp4decoder/PictureScaler.h"

bool PictureScaler::scale(const AVFrame &picture, int width, int height, AVPixelFormat format,
                          const std::array<uint8_t *, 4> &planes, const std::array<int, 4> &strides) {
    if (picture.width <= 0 || picture.height <= 0 || width <= 0 || height <= 0) {
        return false;
    }
    // Frees the previous set-up when the new one differs, so the pointer changes hands here.
    context.reset(sws_getCachedContext(context.release(), picture.width, picture.height,
                                       AVPixelFormat(picture.format), width, height, format, SWS_AREA,
                                       nullptr, nullptr, nullptr));
    if (!context) {
        return false;
    }
    return sws_scale(context.get(), picture.data, picture.linesize, 0, picture.height, planes.data(),
                     strides.data()) == height;
}
