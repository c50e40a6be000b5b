// The generated pictures of every demo clip, and of a 4:4:4 XYZ clip, decode through libavcodec to the
// clip's picture size and sampling and show their frame number.

#include "platform/srmodule/DemoMedia.h"
#include "platform/srmodule/EssenceSource.h"
#include "tests/support/AvPictureDecoder.h"
#include "tests/support/TestPictureReader.h"

#include <gtest/gtest.h>

TEST(EssencePictures, DecodeToTheClipsFormatAndShowTheirFrameNumber) {
    std::vector<ManifestClip> clips = demoManifest().clips;
    clips.push_back(clips.front());
    clips.back().record.sampling = 2; // 4:4:4 XYZ, coded as 4:4:4
    for (const ManifestClip &clip : clips) {
        EssenceSource source(clip);
        const uint64_t frame = clip.record.durationFrames - 1;
        std::vector<uint8_t> picture(source.pictureBytes());
        source.picture(frame, picture);
        testsupport::AvPictureDecoder decoder;
        const std::optional<testsupport::DecodedPicture> decoded = decoder.decode(picture);
        ASSERT_TRUE(decoded) << clip.record.fileName;
        EXPECT_EQ(testsupport::AvPictureDecoder::takeMessages(), std::vector<std::string>{});
        const bool is720 = clip.record.size == 0;
        EXPECT_EQ(decoded->width, is720 ? 1280 : 1920) << clip.record.fileName;
        EXPECT_EQ(decoded->height, is720 ? 720 : 1080) << clip.record.fileName;
        EXPECT_EQ(decoded->format, clip.record.sampling == 0 ? AV_PIX_FMT_YUV422P10 : AV_PIX_FMT_YUV444P10);
        StudioFormat format;
        format.width = uint32_t(decoded->width);
        format.height = uint32_t(decoded->height);
        EXPECT_EQ(
            testsupport::readFrameNumber(
                format, [&](uint32_t x, uint32_t y) { return decoded->at(0, int(x), int(y)) / 1023.0; }),
            frame)
            << clip.record.fileName;
    }
}
