#pragma once

// Picture coding values of the package metadata: the essence bit rate and the MPEG-4 Visual
// profile-and-level code, from the clip's compression quality, frame rate, size, sampling and depth.

#include <cstdint>

// Frame rate rounded to a whole number of frames per second (frameRate + 0.5, truncated): 23.98 gives 24,
// 29.97 gives 30, 59.94 gives 60. A rate that is not a number or lies outside 0..1000 gives 0.
uint32_t wholeFrameRate(double frameRate);

// Bytes of one picture element: 937,500 for compression quality 2 (Lite), 1,875,000 otherwise.
uint32_t pictureBytesPerFrame(int32_t compressionQuality);

// Bits per second: pictureBytesPerFrame × wholeFrameRate × 8, wrapped to 32 bits.
int32_t pictureBitRate(int32_t compressionQuality, double frameRate);

struct PictureFormat {
    bool is720 = false;      // 1280 × 720 instead of 1920 × 1080
    bool fullChroma = false; // 4:4:4, three full components per pixel
    double frameRate = 0;
    int32_t bitRate = 0;        // bits per second
    int32_t componentDepth = 0; // bits per component
};

// The profile-and-level code for the format: 0xE2, 0xE3, 0xE4, 0xEB or 0xEC for the first level whose
// limits the format keeps, 0xE0 when it keeps none.
uint8_t profileAndLevel(const PictureFormat &format);
