#pragma once

// The coded test pictures of a clip, frame by frame, fast enough to play out many times faster than real
// time: the slices that neither the box nor the digits touch are coded once and kept; a slice they touch
// is drawn and coded afresh only when what they put into it differs from the last time it was coded. The
// result is the same as coding the whole test pattern of that frame (encodeFrame).
//
// The coded background of a picture size and sampling is shared by every generator of the process and kept
// for its life (about 100 to 150 KB each), so that making a generator again costs little.
//
// Threads: one thread at a time per generator; generators on different threads are independent. Memory:
// the coded moving slices (less than a frame) and one macroblock row of samples.

#include "platform/testpictures/PlanarPicture.h"
#include "platform/testpictures/StudioEncoder.h"
#include "platform/testpictures/StudioFormat.h"
#include "platform/testpictures/TestPattern.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class TestPictureGenerator {
public:
    explicit TestPictureGenerator(const StudioFormat &format);

    const TestPattern &pattern() const { return pattern_; }

    // Writes the coded picture of the stamp's frame to out (format().frameBytes bytes); false, with nothing
    // written, when out is of another size.
    bool generate(const studio::FrameStamp &stamp, std::span<uint8_t> out);

private:
    const StudioFormat format_;
    const TestPattern pattern_;
    const std::vector<studio::SliceSpan> grid;
    PlanarPicture band; // the macroblock row being drawn and coded
    // Per slice of the grid: its coding without the box and digits.
    const std::shared_ptr<const std::vector<std::vector<uint8_t>>> background;
    std::vector<uint8_t> headers;
    // Per slice of the grid: its last coding with the box or digits in it, and what they put there.
    std::vector<std::vector<uint8_t>> movingSlices;
    std::vector<std::optional<AreaKey>> movingKeys;
    std::vector<std::span<const uint8_t>> slices;
};
