#include "platform/testpictures/TestPictureGenerator.h"

namespace {

constexpr uint32_t kBandLines = 16; // one macroblock row

} // namespace

TestPictureGenerator::TestPictureGenerator(const StudioFormat &format)
    : format_(format), pattern_(format), grid(studio::sliceGrid(format)), band(format, 0, kBandLines) {
    for (const studio::SliceSpan &slice : grid) {
        const PatternRect area = sliceRect(slice);
        band.moveTo(area.y);
        pattern_.drawBackground(area, band);
        studio::appendSlice(format_, band, slice, studio::kFinestQuantiser, false, background);
        backgroundEnds.push_back(background.size());
    }
    movingSlices.resize(grid.size());
    movingKeys.resize(grid.size());
    slices.reserve(grid.size());
}

PatternRect TestPictureGenerator::sliceRect(const studio::SliceSpan &slice) const {
    return {slice.first % format_.mbWidth() * kBandLines, slice.first / format_.mbWidth() * kBandLines,
            slice.count * kBandLines, kBandLines};
}

bool TestPictureGenerator::generate(const studio::FrameStamp &stamp, std::span<uint8_t> out) {
    if (out.size() != format_.frameBytes)
        return false;
    headers.clear();
    studio::appendFrameHeaders(format_, stamp, headers);
    const PatternRect box = pattern_.box(stamp.number);
    const PatternRect text = pattern_.text();
    slices.clear();
    for (size_t i = 0; i < grid.size(); ++i) {
        const PatternRect area = sliceRect(grid[i]);
        if (!area.intersects(box) && !area.intersects(text)) {
            const size_t begin = i == 0 ? 0 : backgroundEnds[i - 1];
            slices.emplace_back(background.data() + begin, backgroundEnds[i] - begin);
            continue;
        }
        const AreaKey key = pattern_.areaKey(stamp, area);
        if (movingKeys[i] != key) {
            band.moveTo(area.y);
            pattern_.draw(stamp, area, band);
            movingSlices[i].clear();
            studio::appendSlice(format_, band, grid[i], studio::kFinestQuantiser, false, movingSlices[i]);
            movingKeys[i] = key;
        }
        slices.emplace_back(movingSlices[i]);
    }
    if (studio::assembleFrame(format_, stamp, headers, slices, out))
        return true;
    PlanarPicture whole(format_);
    pattern_.draw(stamp, {0, 0, format_.codedWidth(), format_.codedHeight()}, whole);
    return studio::encodeFrame(format_, whole, stamp, out);
}
