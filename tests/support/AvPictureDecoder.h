#pragma once

// Decoding of coded pictures through libavcodec's MPEG-4 decoder, as the preview and ffmpeg decode them,
// one packet a picture. Every message the library logs at warning level or above is collected (for the
// whole process) so that a test can require a clean decode. Link libavcodec and libavutil.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
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

    uint16_t at(int plane, int x, int y) const { return planes[plane][size_t(y) * planeWidths[plane] + x]; }
};

class AvPictureDecoder {
public:
    AvPictureDecoder() {
        static std::once_flag installed;
        std::call_once(installed, [] { av_log_set_callback(&AvPictureDecoder::collect); });
        context.reset(avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_MPEG4)));
        if (context && avcodec_open2(context.get(), context->codec, nullptr) < 0)
            context.reset();
    }

    // The picture of one packet; nothing when the decoder refuses it or gives no picture for it.
    std::optional<DecodedPicture> decode(std::span<const uint8_t> packetBytes) {
        if (!context)
            return std::nullopt;
        std::vector<uint8_t> padded(packetBytes.begin(), packetBytes.end());
        padded.resize(packetBytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
        std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
        packet->data = padded.data();
        packet->size = int(packetBytes.size());
        if (avcodec_send_packet(context.get(), packet.get()) < 0 ||
            avcodec_receive_frame(context.get(), frame.get()) < 0)
            return std::nullopt;
        DecodedPicture picture;
        picture.width = frame->width;
        picture.height = frame->height;
        picture.format = AVPixelFormat(frame->format);
        picture.profile = context->profile;
        const bool fullChroma = picture.format == AV_PIX_FMT_YUV444P10;
        for (int plane = 0; plane < 3; ++plane) {
            const int width = plane == 0 || fullChroma ? frame->width : (frame->width + 1) / 2;
            picture.planeWidths[plane] = width;
            for (int y = 0; y < frame->height; ++y) {
                const auto *line =
                    reinterpret_cast<const uint16_t *>(frame->data[plane] + y * frame->linesize[plane]);
                picture.planes[plane].insert(picture.planes[plane].end(), line, line + width);
            }
        }
        return picture;
    }

    // Messages logged at warning level or above since the last call.
    static std::vector<std::string> takeMessages() {
        std::lock_guard lock(messageLock());
        return std::exchange(messageList(), {});
    }

private:
    struct ContextFree {
        void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
    };
    struct PacketFree {
        void operator()(AVPacket *p) const { av_packet_free(&p); }
    };
    struct FrameFree {
        void operator()(AVFrame *f) const { av_frame_free(&f); }
    };

    static std::mutex &messageLock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string> &messageList() {
        static std::vector<std::string> list;
        return list;
    }
    static void collect(void *, int level, const char *format, va_list arguments) {
        if (level > AV_LOG_WARNING)
            return;
        std::array<char, 1024> text{};
        std::vsnprintf(text.data(), text.size(), format, arguments);
        std::lock_guard lock(messageLock());
        messageList().emplace_back(text.data());
    }

    std::unique_ptr<AVCodecContext, ContextFree> context;
};

} // namespace testsupport
