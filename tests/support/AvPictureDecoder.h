#pragma once

// Decoding of coded pictures through libavcodec's MPEG-4 decoder, one packet a picture, as the preview and
// ffmpeg decode them. Every message the library logs at warning level or above is collected (for the
// whole process) so that a test can require a clean decode. Link libavcodec and libavutil.

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A decoded 10-bit planar picture.
struct DecodedPicture {
    int width = 0;
    int height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int profile = 0;
    std::array<int, 3> planeWidths{};
    std::array<std::vector<uint16_t>, 3> planes;

    int at(int plane, int x, int y) const { return planes[plane][size_t(y) * planeWidths[plane] + x]; }
};

class AvPictureDecoder {
public:
    AvPictureDecoder()
        : context(avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_MPEG4)),
                  [](AVCodecContext *c) { avcodec_free_context(&c); }) {
        static std::once_flag installed;
        std::call_once(installed, [] { av_log_set_callback(&AvPictureDecoder::collect); });
        if (avcodec_open2(context.get(), context->codec, nullptr) < 0)
            context.reset();
    }

    // The picture of one packet; nothing when the decoder refuses it or gives no picture for it.
    std::optional<DecodedPicture> decode(std::span<const uint8_t> bytes) {
        std::vector<uint8_t> padded(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::copy(bytes.begin(), bytes.end(), padded.begin());
        const std::unique_ptr<AVPacket, void (*)(AVPacket *)> packet(av_packet_alloc(),
                                                                     [](AVPacket *p) { av_packet_free(&p); });
        const std::unique_ptr<AVFrame, void (*)(AVFrame *)> frame(av_frame_alloc(),
                                                                  [](AVFrame *f) { av_frame_free(&f); });
        packet->data = padded.data();
        packet->size = int(bytes.size());
        if (!context || avcodec_send_packet(context.get(), packet.get()) < 0 ||
            avcodec_receive_frame(context.get(), frame.get()) < 0)
            return std::nullopt;
        DecodedPicture picture{
            frame->width, frame->height, AVPixelFormat(frame->format), context->profile, {}, {}};
        for (int plane = 0; plane < 3; ++plane) {
            const bool subsampled = plane > 0 && picture.format != AV_PIX_FMT_YUV444P10;
            picture.planeWidths[plane] = subsampled ? (frame->width + 1) / 2 : frame->width;
            for (int y = 0; y < frame->height; ++y) {
                const auto *line =
                    reinterpret_cast<const uint16_t *>(frame->data[plane] + y * frame->linesize[plane]);
                picture.planes[plane].insert(picture.planes[plane].end(), line,
                                             line + picture.planeWidths[plane]);
            }
        }
        return picture;
    }

    // Messages logged at warning level or above since the last call.
    static std::vector<std::string> takeMessages() {
        std::lock_guard lock(messages().first);
        return std::exchange(messages().second, {});
    }

private:
    static std::pair<std::mutex, std::vector<std::string>> &messages() {
        static std::pair<std::mutex, std::vector<std::string>> collected;
        return collected;
    }
    static void collect(void *, int level, const char *format, va_list arguments) {
        if (level > AV_LOG_WARNING)
            return;
        std::array<char, 1024> text{};
        std::vsnprintf(text.data(), text.size(), format, arguments);
        std::lock_guard lock(messages().first);
        messages().second.emplace_back(text.data());
    }

    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> context;
};

} // namespace testsupport
