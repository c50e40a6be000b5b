#include "preview/MP4DecoderApi.h"
#include "tests/support/Mpeg4Pictures.h"
#include "tests/support/RandomBytes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Destroy {
    void operator()(MP4decAPI *decoder) const { destroyMP4decAPI(decoder); }
};

MP4decConfig interleavedConfig() {
    MP4decConfig config;
    config.interleaved = mp4dec::kInterleaved;
    config.bitsPerSample = 8;
    config.firstStep = 2;
    config.otherStep = 4;
    config.scaleDivisor = mp4dec::kHalfSize;
    return config;
}

class Mp4Decoder : public testing::Test {
protected:
    std::unique_ptr<MP4decAPI, Destroy> decoder{createMP4decAPI()};
    MP4decConfig config = interleavedConfig();
    MP4decPictureInfo info;
    MP4decStatus status;
    // The configured output of a 1920 x 1080 picture, then guard bytes that must stay untouched.
    std::vector<uint8_t> output = std::vector<uint8_t>(1920 * 540 + 64);

    int32_t decode(const std::vector<uint8_t> &picture) {
        uint8_t *base = output.data();
        return decoder->decode(picture.data(), uint32_t(picture.size()), 0, &status, base + 1, base, base + 2,
                               nullptr);
    }
    int32_t configure() {
        return decoder->configure(&config, picture1080().data(), uint32_t(picture1080().size()), &info,
                                  &status);
    }
    bool zeroFrom(size_t offset) const {
        return std::all_of(output.begin() + ptrdiff_t(offset), output.end(),
                           [](uint8_t b) { return b == 0; });
    }
};

TEST_F(Mp4Decoder, RefusesNullEmptyAndForeignArguments) {
    ASSERT_TRUE(decoder);
    const std::vector<uint8_t> &picture = picture1080();
    const auto size = uint32_t(picture.size());
    EXPECT_EQ(decoder->configure(&config, picture.data(), size, &info, nullptr), mp4dec::kBadArgument);
    EXPECT_EQ(decoder->configure(nullptr, picture.data(), size, &info, &status), mp4dec::kBadArgument);
    EXPECT_EQ(decoder->configure(&config, nullptr, size, &info, &status), mp4dec::kBadArgument);
    EXPECT_EQ(decoder->configure(&config, picture.data(), 0, &info, &status), mp4dec::kBadArgument);
    EXPECT_EQ(decoder->configure(&config, picture.data(), size, nullptr, &status), mp4dec::kBadArgument);
    EXPECT_EQ(decode(picture), mp4dec::kNotConfigured);
    MP4decConfig fullSize = config;
    fullSize.scaleDivisor = 1;
    EXPECT_EQ(decoder->configure(&fullSize, picture.data(), size, &info, &status),
              mp4dec::kUnsupportedConfig);
    EXPECT_EQ(info.width, 0);

    ASSERT_EQ(configure(), mp4dec::kOk);
    uint8_t *base = output.data();
    EXPECT_EQ(decoder->decode(picture.data(), size, 0, &status, base, base + 1, base + 2, nullptr),
              mp4dec::kBadArgument);
    EXPECT_EQ(decoder->decode(picture.data(), size, 0, &status, base + 1, nullptr, base + 2, nullptr),
              mp4dec::kBadArgument);
    EXPECT_EQ(decoder->decode(picture.data(), size, 1, &status, base + 1, base, base + 2, nullptr),
              mp4dec::kBadArgument);
    EXPECT_EQ(status.pictures, 0u);
    EXPECT_TRUE(zeroFrom(0));
}

TEST_F(Mp4Decoder, UndecodablePictureLeavesTheOutputZeroed) {
    ASSERT_EQ(configure(), mp4dec::kOk);
    EXPECT_EQ(info.height, 1080); // the 16-bit fields at bytes 22 and 24
    EXPECT_EQ(info.width, 1920);
    EXPECT_EQ(decode(randomBytes(200'000, 9)), mp4dec::kUndecodable);
    EXPECT_TRUE(zeroFrom(0));
    EXPECT_EQ(decode(picture1080()), mp4dec::kOk); // the next picture decodes again
    EXPECT_EQ(status.pictures, 1u);
}

TEST_F(Mp4Decoder, LargerLaterPictureIsScaledIntoTheConfiguredOutput) {
    ASSERT_EQ(configure(), mp4dec::kOk);
    ASSERT_EQ(decode(encodeMpeg4(Yuv420Picture::ramps(2560, 1440))), mp4dec::kOk);
    EXPECT_NE(output[output.size() - 65], 0); // the last row is written, nothing after it
    EXPECT_TRUE(zeroFrom(output.size() - 64));
}

} // namespace
