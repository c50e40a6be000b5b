#pragma once

// Coding of whole frames as MPEG-4 Visual Simple Studio Profile intra pictures (ISO/IEC 14496-2), each one
// decodable on its own: the visual object sequence, visual object, video object and video object layer
// headers come again in every frame, then the VOP header and the slices.
//
// Slices: every macroblock row is cut into slices of kSliceMacroblocks, each starting its own DC
// prediction, so a slice's coded bytes depend on its pixels alone and can be kept and reused while they do
// not change. Every slice names its frame (slice_VOP_id, the frame number modulo 64).
//
// Frame size: a frame fills exactly the format's frameBytes. The zero bytes that pad it out are spread
// evenly before the slices and after the last one, so that every part of a frame carries slices of its
// own frame. A picture that does not fit at the finest quantiser is coded coarser, and finally as DC
// values alone, which always fits.

#include "platform/testpictures/PlanarPicture.h"
#include "platform/testpictures/StudioFormat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace studio {

inline constexpr uint32_t kSliceMacroblocks = 8;
// quantiser_scale_code of the finest coding.
inline constexpr int kFinestQuantiser = 1;

// What a frame's headers say about it.
struct FrameStamp {
    uint64_t number = 0;   // temporal_reference and slice_VOP_id count it modulo 1024 and 64
    uint32_t timeCode = 0; // hours, minutes, seconds and frames as BCD bytes, hours first
    bool dropFrame = false;
};

// `count` macroblocks of one macroblock row from macroblock number `first` (row by row from the top left).
struct SliceSpan {
    uint32_t first = 0;
    uint32_t count = 0;
};

// The slices of a format, in coding order.
std::vector<SliceSpan> sliceGrid(const StudioFormat &format);

// Appends the sequence, object, layer and VOP headers of a frame.
void appendFrameHeaders(const StudioFormat &format, const FrameStamp &stamp, std::vector<uint8_t> &out);

// Appends one coded slice of picture, ending on a byte boundary; its frame is set by assembleFrame.
void appendSlice(const StudioFormat &format, const PlanarPicture &picture, SliceSpan slice, int quantiserCode,
                 bool dcOnly, std::vector<uint8_t> &out);

// Lays headers and slices out in out (format.frameBytes bytes), every slice marked as the stamp's frame,
// with the zero bytes spread between them. False, with out untouched, when they do not fit or out is of
// another size.
bool assembleFrame(const StudioFormat &format, const FrameStamp &stamp, std::span<const uint8_t> headers,
                   std::span<const std::span<const uint8_t>> slices, std::span<uint8_t> out);

// Codes picture as one frame into out (format.frameBytes bytes), as fine as fits. False, with nothing
// written, when out is of another size.
bool encodeFrame(const StudioFormat &format, const PlanarPicture &picture, const FrameStamp &stamp,
                 std::span<uint8_t> out);

} // namespace studio
