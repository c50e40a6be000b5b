#pragma once

// MPEG-4 Visual test pictures: a smooth 4:2:0 pattern and its encoding as one intra picture (with its
// sequence headers, so it decodes on its own) by libavcodec's mpeg4 encoder at a fine quantiser.

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

struct Yuv420Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, cb, cr; // chroma at half width and half height

    // Luma ramps across and down; Cb ramps across, Cr down, so a swap or a shift of rows shows.
    static Yuv420Picture ramps(int width, int height) {
        Yuv420Picture p{width, height, {}, {}, {}};
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x)
                p.y.push_back(uint8_t(30 + 150 * x / width + 50 * row / height));
        for (int row = 0; row < height / 2; ++row)
            for (int x = 0; x < width / 2; ++x) {
                p.cb.push_back(uint8_t(70 + 240 * x / width));
                p.cr.push_back(uint8_t(190 - 240 * row / height));
            }
        return p;
    }
};

// The encoded picture; empty when libavcodec could not encode it.
inline std::vector<uint8_t> encodeMpeg4(const Yuv420Picture &source) {
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVCodecContext *context = avcodec_alloc_context3(codec);
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    std::vector<uint8_t> encoded;
    context->width = source.width;
    context->height = source.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = {1, 25};
    context->gop_size = 0;
    context->flags |= AV_CODEC_FLAG_QSCALE;
    frame->width = source.width;
    frame->height = source.height;
    frame->format = AV_PIX_FMT_YUV420P;
    frame->quality = FF_QP2LAMBDA * 2;
    if (avcodec_open2(context, codec, nullptr) >= 0 && av_frame_get_buffer(frame, 0) >= 0) {
        const std::vector<uint8_t> *planes[] = {&source.y, &source.cb, &source.cr};
        for (int plane = 0; plane < 3; ++plane) {
            const int width = plane ? source.width / 2 : source.width;
            for (int row = 0; row < (plane ? source.height / 2 : source.height); ++row)
                std::memcpy(frame->data[plane] + row * frame->linesize[plane],
                            planes[plane]->data() + row * width, size_t(width));
        }
        if (avcodec_send_frame(context, frame) >= 0 && avcodec_send_frame(context, nullptr) >= 0 &&
            avcodec_receive_packet(context, packet) >= 0)
            encoded.assign(packet->data, packet->data + packet->size);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&context);
    return encoded;
}

// The ramps at 1920 x 1080 and their encoding, made once.
inline const Yuv420Picture &ramps1080() {
    static const Yuv420Picture picture = Yuv420Picture::ramps(1920, 1080);
    return picture;
}
inline const std::vector<uint8_t> &picture1080() {
    static const std::vector<uint8_t> encoded = encodeMpeg4(ramps1080());
    return encoded;
}
