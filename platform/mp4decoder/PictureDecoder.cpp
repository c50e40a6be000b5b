#include "platform/mp4decoder/PictureDecoder.h"

#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/log.h>
}

std::unique_ptr<PictureDecoder> PictureDecoder::create() {
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_MPEG4);
    if (!codec) {
        return nullptr;
    }
    auto decoder = std::make_unique<PictureDecoder>();
    decoder->context.reset(avcodec_alloc_context3(codec));
    decoder->frame.reset(av_frame_alloc());
    decoder->packet.reset(av_packet_alloc());
    if (!decoder->context || !decoder->frame || !decoder->packet) {
        return nullptr;
    }
    decoder->context->err_recognition |= AV_EF_EXPLODE;
    decoder->context->thread_count = 1;
    // Untrusted pictures must not flood the user's terminal: the codec's errors become debug messages.
    decoder->context->log_level_offset = AV_LOG_DEBUG;
    if (avcodec_open2(decoder->context.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    return decoder;
}

const AVFrame *PictureDecoder::decode(std::span<const uint8_t> picture, int32_t &codecError) {
    codecError = 0;
    av_frame_unref(frame.get());
    av_packet_unref(packet.get());
    if (picture.size() > size_t(std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE)) {
        codecError = AVERROR(EINVAL);
        return nullptr;
    }
    // The packet's own buffer carries the zeroed padding the codec's bit reader may run into.
    if (int error = av_new_packet(packet.get(), int(picture.size())); error < 0) {
        codecError = error;
        return nullptr;
    }
    std::memcpy(packet->data, picture.data(), picture.size());

    int error = avcodec_send_packet(context.get(), packet.get());
    if (error >= 0) {
        error = avcodec_send_packet(context.get(), nullptr);
    }
    bool got = false;
    if (error >= 0) {
        error = avcodec_receive_frame(context.get(), frame.get());
        got = error >= 0;
    }
    avcodec_flush_buffers(context.get());
    if (!got) {
        codecError = error == AVERROR_EOF ? 0 : error;
        return nullptr;
    }
    return frame.get();
}
