#pragma once

// The preview decoder library interface: one decoder object that turns compressed MPEG-4 Visual pictures
// (Studio Profile included) into half-size pictures, and the two C entry points that create and free it.
// The system loads the library at run time (preview/QIROSRDecoder.h) and calls only what is declared here;
// the implementation behind it is platform/mp4decoder.
//
// Calls: createMP4decAPI, then configure once with the first picture, then decode per picture, then
// destroyMP4decAPI. An object is used by one thread at a time. Every record, picture and output pointer is
// checked: a null or empty one makes the call fail without touching anything.
//
// Output: the configured picture (W x H) at half size, ceil(W / 2) x ceil(H / 2), in one of two layouts:
// - interleaved 8-bit 4:2:2 (Cb Y0 Cr Y1 per pixel pair), addressed by the three pointers Y, Cb, Cr, which
//   must be base + 1, base, base + 2 of one picture;
// - planar 16-bit RGB, little-endian samples, addressed by the three plane pointers green, blue, red.
// Rows are rowBytes(W) apart; ceil(H / 2) rows are written, so the caller's buffer (each plane, in the
// planar layout) holds rowBytes(W) x outputRows(H) bytes. A later picture of another size is scaled to the
// configured one, so a decode never writes more. A picture that cannot be decoded writes nothing.

#include <cstddef>
#include <cstdint>

namespace mp4dec {

// Call results, also left in MP4decStatus::result.
enum Result : int32_t {
    kOk = 0,
    kBadArgument = -1,       // a null or empty record, picture or pointer, or pointers of another layout
    kUnsupportedConfig = -2, // a layout, sample size or scale this library does not make
    kUndecodable = -3,       // the picture did not decode
    kNotConfigured = -4,     // decode before a successful configure
    kLibraryFailure = -5,    // the codec or scaler could not be set up
};

// Layouts (MP4decConfig::interleaved).
constexpr int32_t kPlanar = 0;
constexpr int32_t kInterleaved = 1;

// The one scale divisor this library makes: half size.
constexpr int32_t kHalfSize = 2;

// The largest compressed picture accepted, in bytes.
constexpr uint32_t kMaxPictureBytes = 64u << 20;

// Bytes from one output row to the next for a configured picture width: the width rounded up to a
// multiple of 16, which is the half width (rounded the same way) times 2 bytes per pixel or sample.
constexpr uint32_t rowBytes(uint32_t width) {
    return (width + 15) / 16 * 16;
}
// Output pixels per row and rows written, for a configured width and height.
constexpr uint32_t outputWidth(uint32_t width) {
    return (width + 1) / 2;
}
constexpr uint32_t outputRows(uint32_t height) {
    return (height + 1) / 2;
}

} // namespace mp4dec

// How the output is made. Fields marked reserved carry the values the system has always passed and are
// not read by this library.
struct MP4decConfig {
    int32_t reserved0 = 0;
    int32_t interleaved = 0;   // mp4dec::kInterleaved: 8-bit 4:2:2; mp4dec::kPlanar: 16-bit RGB planes
    int32_t bitsPerSample = 0; // 8 (interleaved) or 16 (planar)
    int32_t firstStep = 0;     // samples from one sample of the first component to the next in a row:
                               // 2 (interleaved), 1 (planar)
    int32_t otherStep = 0;     // the same for the second and third: 4 (interleaved), 1 (planar)
    int32_t reserved20 = 0;
    int32_t scaleDivisor = 0; // mp4dec::kHalfSize
    int32_t reserved28 = 0;
    uint8_t reserved32[12] = {};
    uint8_t reserved44[4] = {};
    int32_t reserved48[3] = {};
};
static_assert(sizeof(MP4decConfig) == 60 && offsetof(MP4decConfig, scaleDivisor) == 24 &&
              offsetof(MP4decConfig, reserved44) == 44);

// What configure learnt of the first picture. Cleared by the caller before configure.
struct MP4decPictureInfo {
    uint8_t reserved0[22] = {};
    uint16_t height = 0; // full picture height in lines
    uint16_t width = 0;  // full picture width in pixels
    uint8_t reserved26[18] = {};
};
static_assert(sizeof(MP4decPictureInfo) == 44 && offsetof(MP4decPictureInfo, height) == 22 &&
              offsetof(MP4decPictureInfo, width) == 24);

// The outcome of the last call. Cleared by the caller before configure.
struct MP4decStatus {
    int32_t result = 0;     // an mp4dec::Result
    int32_t codecError = 0; // the codec's own error code when result is kUndecodable, else 0
    uint32_t pictures = 0;  // pictures decoded into an output so far
    uint8_t reserved12[28] = {};
};
static_assert(sizeof(MP4decStatus) == 40);

class MP4decAPI {
protected:
    // Freed through destroyMP4decAPI only, by the library that made it.
    virtual ~MP4decAPI() = default;

public:
    // Learns the picture size from the first picture and prepares the output config asks for. Fills
    // pictureInfo's height and width on success; returns an mp4dec::Result.
    virtual int32_t configure(const MP4decConfig *config, const uint8_t *data, uint32_t length,
                              MP4decPictureInfo *pictureInfo, MP4decStatus *status) = 0;
    // Decodes one picture into the configured output through the three pointers (see the file comment).
    // flags must be 0 and reserved null. Returns an mp4dec::Result.
    virtual int32_t decode(const uint8_t *data, uint32_t length, uint32_t flags, MP4decStatus *status,
                           uint8_t *pointer1, uint8_t *pointer2, uint8_t *pointer3, void *reserved) = 0;
};

// The entry points, looked up by these names. createMP4decAPI returns null when no decoder can be made;
// destroyMP4decAPI accepts null.
extern "C" {
MP4decAPI *createMP4decAPI();
void destroyMP4decAPI(MP4decAPI *decoder);
}
using CreateMP4decAPIFunction = MP4decAPI *(*)();
using DestroyMP4decAPIFunction = void (*)(MP4decAPI *);
