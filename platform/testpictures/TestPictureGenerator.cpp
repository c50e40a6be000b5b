#include "platform/testpictures/TestPictureGenerator.h"

#include <map>
#include <mutex>
#include <tuple>

namespace {

constexpr uint32_t kBandLines = 16; // one macroblock row

using CodedSlices = std::vector<std::vector<uint8_t>>;

PatternRect sliceArea(const StudioFormat &format, const studio::SliceSpan &slice) {
    return {slice.first % format.mbWidth() * kBandLines, slice.first / format.mbWidth() * kBandLines,
            slice.count * kBandLines, kBandLines};
}

// The background slices of the format's picture size and sampling, coded at the first call for them.
std::shared_ptr<const CodedSlices> codedBackground(const StudioFormat &format) {
    static std::mutex lock;
    static std::map<std::tuple<uint32_t, uint32_t, bool>, std::shared_ptr<const CodedSlices>> coded;
    const std::lock_guard guard(lock);
    std::shared_ptr<const CodedSlices> &slices = coded[{format.width, format.height, format.fullChroma}];
    if (!slices) {
        const TestPattern pattern(format);
        PlanarPicture band(format, 0, kBandLines);
        auto background = std::make_shared<CodedSlices>();
        for (const studio::SliceSpan &slice : studio::sliceGrid(format)) {
            const PatternRect area = sliceArea(format, slice);
            band.moveTo(area.y);
            pattern.drawBackground(area, band);
            studio::appendSlice(format, band, slice, studio::kFinestQuantiser, false,
                                background->emplace_back());
        }
        slices = std::move(background);
    }
    return slices;
}

} // namespace

TestPictureGenerator::TestPictureGenerator(const StudioFormat &format)
    : format_(format), pattern_(format), grid(studio::sliceGrid(format)), band(format, 0, kBandLines),
      background(codedBackground(format)) {
    movingSlices.resize(grid.size());
    movingKeys.resize(grid.size());
    slices.reserve(grid.size());
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
        const PatternRect area = sliceArea(format_, grid[i]);
        if (!area.intersects(box) && !area.intersects(text)) {
            slices.emplace_back((*background)[i]);
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
