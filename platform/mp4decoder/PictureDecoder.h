#pragma once

// One compressed MPEG-4 Visual picture (Studio Profile included) at a time, through libavcodec. Each
// picture is decoded on its own: the codec is drained and reset after every picture, so pictures may come
// with gaps and a picture held back for reordering still comes out. A damaged picture is refused rather
// than concealed. The codec's messages go to FFmpeg's log at debug level only.

#include <cstdint>
#include <memory>
#include <span>

extern "C" {
#include <libavcodec/avcodec.h>
}

class PictureDecoder {
public:
    // Null when libavcodec has no MPEG-4 Visual decoder or cannot open one.
    static std::unique_ptr<PictureDecoder> create();

    // The decoded picture, valid until the next call; null when the picture did not decode, with the
    // codec's error code in codecError (0 when the codec gave no picture without an error).
    const AVFrame *decode(std::span<const uint8_t> picture, int32_t &codecError);

private:
    struct ContextFree {
        void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
    };
    struct FrameFree {
        void operator()(AVFrame *frame) const { av_frame_free(&frame); }
    };
    struct PacketFree {
        void operator()(AVPacket *packet) const { av_packet_free(&packet); }
    };

    std::unique_ptr<AVCodecContext, ContextFree> context;
    std::unique_ptr<AVFrame, FrameFree> frame;
    std::unique_ptr<AVPacket, PacketFree> packet;
};
