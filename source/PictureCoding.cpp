#include "source/PictureCoding.h"

#include <array>
#include <limits>

namespace {

constexpr uint32_t liteQuality = 2;
constexpr uint32_t liteFrameBytes = 937'500;
constexpr uint32_t fullFrameBytes = 1'875'000;
constexpr double highestFrameRate = 1000;

// One level: the limits on luma-and-chroma samples per picture, per second, the bit rate and the
// component depth, and the code that names it.
struct Level {
    uint64_t samplesPerPicture;
    uint64_t samplesPerSecond;
    uint64_t bitRate;
    int32_t componentDepth;
    uint8_t code;
};

constexpr int32_t anyDepth = std::numeric_limits<int32_t>::max();
constexpr std::array<Level, 5> levels{{
    {4'194'304, 125'829'120, 600'000'000, 10, 0xE2},
    {6'291'456, 188'743'680, 900'000'000, anyDepth, 0xE3},
    {12'582'912, 377'487'360, 1'800'000'000, anyDepth, 0xE4},
    {26'542'080, 796'262'400, 1'800'000'000, anyDepth, 0xEB},
    {53'084'160, 1'592'524'800, 3'600'000'000, anyDepth, 0xEC},
}};
constexpr uint8_t noLevel = 0xE0;

} // namespace

uint32_t wholeFrameRate(double frameRate) {
    const double rounded = frameRate + 0.5;
    if (!(rounded >= 0 && rounded < highestFrameRate))
        return 0;
    return uint32_t(rounded);
}

uint32_t pictureBytesPerFrame(int32_t compressionQuality) {
    return compressionQuality == int32_t(liteQuality) ? liteFrameBytes : fullFrameBytes;
}

int32_t pictureBitRate(int32_t compressionQuality, double frameRate) {
    return int32_t(pictureBytesPerFrame(compressionQuality) * wholeFrameRate(frameRate) * 8u);
}

uint8_t profileAndLevel(const PictureFormat &format) {
    const uint64_t width = format.is720 ? 1280 : 1920;
    const uint64_t height = format.is720 ? 720 : 1080;
    const uint64_t components = format.fullChroma ? 3 : 2;
    const uint64_t samplesPerPicture = width * height * components;
    const uint64_t samplesPerSecond = samplesPerPicture * wholeFrameRate(format.frameRate);
    const uint64_t bitRate = uint32_t(format.bitRate);
    for (const Level &level : levels) {
        if (samplesPerPicture <= level.samplesPerPicture && samplesPerSecond <= level.samplesPerSecond &&
            bitRate <= level.bitRate && format.componentDepth <= level.componentDepth)
            return level.code | noLevel;
    }
    return noLevel;
}
