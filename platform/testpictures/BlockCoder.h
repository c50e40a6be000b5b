#pragma once

// The coding of one 8 x 8 block of an intra macroblock: the DC value (the block's rounded mean) as a
// difference from its component's predictor, then the AC coefficients of a forward DCT quantised with
// the default intra matrix, in zigzag order through the group code tables, ended by an end of block.
//
// Reconstruction guard: a decoder may turn a sample whose reconstruction reaches 1024 into black (FFmpeg's
// 10-bit IDCT overflows there; samples below 0 are clipped as they should be), so the AC levels of a block
// whose reconstruction would rise above kHighestSample are shrunk step by step until it stays below, down
// to the DC alone (whose reconstruction is the block's mean).

#include "platform/testpictures/BitWriter.h"

#include <array>
#include <cstdint>

namespace studio {

inline constexpr int kHighestSample = 1019;

// The DC predictors of Y, Cb and Cr, as every slice starts them: half the 10-bit range.
struct DcPredictors {
    std::array<int, 3> value{512, 512, 512};
};

// 64 samples of 10 bits, raster order.
using BlockSamples = std::array<uint16_t, 64>;

// Codes the block of component (0 luma, 1 Cb, 2 Cr) with quantiser_scale 2 x quantiserCode (1 to 31), or
// its DC alone when dcOnly; updates the component's predictor.
void codeBlock(const BlockSamples &samples, int component, int quantiserCode, bool dcOnly,
               DcPredictors &predictors, BitWriter &out);

} // namespace studio
