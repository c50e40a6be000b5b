// The library's only exported symbols: the factory and the release of the decoder object.

#include "platform/mp4decoder/Mpeg4Decoder.h"

#include <new>

extern "C" {

__attribute__((visibility("default"))) MP4decAPI *createMP4decAPI() {
    try {
        return Mpeg4Decoder::create().release();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

__attribute__((visibility("default"))) void destroyMP4decAPI(MP4decAPI *decoder) {
    // Every object handed out is a Mpeg4Decoder made by createMP4decAPI; the owner takes it back here.
    std::unique_ptr<Mpeg4Decoder> owned(static_cast<Mpeg4Decoder *>(decoder));
}
}
