#include "platform/testpictures/TestPattern.h"

#include <algorithm>
#include <cmath>

namespace pattern {

namespace {

// 5 x 7 digits and a colon, drawn for this pattern.
constexpr std::array<std::array<uint8_t, kGlyphRows>, 11> kGlyphs{{
    {0b01110, 0b10001, 0b10011, 0b10101, 0b11001, 0b10001, 0b01110},
    {0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},
    {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111},
    {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110},
    {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010},
    {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110},
    {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110},
    {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000},
    {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110},
    {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100},
    {0b00000, 0b11000, 0b11000, 0b00000, 0b11000, 0b11000, 0b00000},
}};

constexpr PatternLayout k1080{.barsBottom = 512,
                              .boxBandBottom = 736,
                              .textBandBottom = 912,
                              .boxTop = 544,
                              .boxWidth = 192,
                              .boxHeight = 160,
                              .cell = 16,
                              .textTop = 768,
                              .frameNumberLeft = 96,
                              .timeCodeLeft = 864};
constexpr PatternLayout k720{.barsBottom = 336,
                             .boxBandBottom = 480,
                             .textBandBottom = 592,
                             .boxTop = 360,
                             .boxWidth = 128,
                             .boxHeight = 96,
                             .cell = 8,
                             .textTop = 512,
                             .frameNumberLeft = 64,
                             .timeCodeLeft = 448};

} // namespace

const std::array<uint8_t, kGlyphRows> &glyph(uint32_t character) {
    return kGlyphs[std::min<uint32_t>(character, kGlyphs.size() - 1)];
}

PatternLayout layoutFor(const StudioFormat &format) {
    return format.height <= 720 ? k720 : k1080;
}

} // namespace pattern

namespace {

constexpr uint32_t kBars = 7;
constexpr uint32_t kBarAlignment = 16; // a chroma block's width in 4:2:2
constexpr uint32_t kColon = 10;

// A colour of ITU-R BT.709 R'G'B' (0 to 1) as 10-bit narrow-range Y'CbCr.
constexpr double kRedWeight = 0.2126;
constexpr double kBlueWeight = 0.0722;
struct Rgb {
    double r, g, b;
};
template <class Colour> Colour toYCbCr(const Rgb &rgb) {
    const double y = kRedWeight * rgb.r + (1 - kRedWeight - kBlueWeight) * rgb.g + kBlueWeight * rgb.b;
    const double cb = (rgb.b - y) / (2 * (1 - kBlueWeight));
    const double cr = (rgb.r - y) / (2 * (1 - kRedWeight));
    return Colour{uint16_t(std::lround(64 + 876 * y)), uint16_t(std::lround(512 + 896 * cb)),
                  uint16_t(std::lround(512 + 896 * cr))};
}

// White, yellow, cyan, green, magenta, red, blue at 75 %.
constexpr Rgb kBarColours[kBars] = {{0.75, 0.75, 0.75}, {0.75, 0.75, 0}, {0, 0.75, 0.75}, {0, 0.75, 0},
                                    {0.75, 0, 0.75},    {0.75, 0, 0},    {0, 0, 0.75}};
constexpr Rgb kGrey{0.4, 0.4, 0.4};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{1, 1, 1};
constexpr uint16_t kNeutralChroma = 512;

} // namespace

TestPattern::TestPattern(const StudioFormat &format)
    : format(format), layout(pattern::layoutFor(format)), grey(toYCbCr<Colour>(kGrey)),
      black(toYCbCr<Colour>(kBlack)), white(toYCbCr<Colour>(kWhite)), ramp(format.codedWidth()) {
    for (uint32_t i = 0; i < kBars; ++i) {
        barEdges[i] = uint32_t(std::lround(double(format.width) * i / kBars / kBarAlignment)) * kBarAlignment;
        bars[i] = toYCbCr<Colour>(kBarColours[i]);
    }
    barEdges[kBars] = format.codedWidth();
    for (uint32_t x = 0; x < ramp.size(); ++x)
        ramp[x] = uint16_t(64 + (876 * x + (format.width - 1) / 2) / std::max(1u, format.width - 1));
}

PatternRect TestPattern::box(uint64_t frame) const {
    const uint64_t travel = (format.width - layout.boxWidth) / pattern::kBoxStep; // steps one way
    const uint64_t phase = frame % (2 * travel);
    const uint64_t step = phase <= travel ? phase : 2 * travel - phase;
    return {uint32_t(step * pattern::kBoxStep), layout.boxTop, layout.boxWidth, layout.boxHeight};
}

PatternRect TestPattern::text() const {
    const uint32_t right =
        layout.timeCodeLeft + (8 * pattern::kDigitAdvance + 3 * pattern::kColonAdvance) * layout.cell;
    return {layout.frameNumberLeft, layout.textTop, right - layout.frameNumberLeft,
            pattern::kGlyphRows * layout.cell};
}

void TestPattern::fill(PlanarPicture &picture, uint32_t line, uint32_t left, uint32_t right,
                       Colour colour) const {
    if (left >= right)
        return;
    std::fill(picture.row(PlanarPicture::kLuma, line) + left, picture.row(PlanarPicture::kLuma, line) + right,
              colour.y);
    const uint32_t shift = format.fullChroma ? 0 : 1;
    std::fill(picture.row(PlanarPicture::kCb, line) + (left >> shift),
              picture.row(PlanarPicture::kCb, line) + (right >> shift), colour.cb);
    std::fill(picture.row(PlanarPicture::kCr, line) + (left >> shift),
              picture.row(PlanarPicture::kCr, line) + (right >> shift), colour.cr);
}

void TestPattern::drawBackground(const PatternRect &area, PlanarPicture &picture) const {
    const uint32_t right = area.x + area.width;
    for (uint32_t line = area.y; line < area.y + area.height; ++line) {
        if (line < layout.barsBottom) {
            for (uint32_t i = 0; i < kBars; ++i)
                fill(picture, line, std::max(area.x, barEdges[i]), std::min(right, barEdges[i + 1]), bars[i]);
        } else if (line < layout.boxBandBottom) {
            fill(picture, line, area.x, right, grey);
        } else if (line < layout.textBandBottom) {
            fill(picture, line, area.x, right, black);
        } else {
            fill(picture, line, area.x, right, Colour{0, kNeutralChroma, kNeutralChroma});
            std::copy(ramp.begin() + area.x, ramp.begin() + right,
                      picture.row(PlanarPicture::kLuma, line) + area.x);
        }
    }
}

void TestPattern::draw(const studio::FrameStamp &stamp, const PatternRect &area,
                       PlanarPicture &picture) const {
    drawBackground(area, picture);
    const PatternRect moving = box(stamp.number);
    if (moving.intersects(area)) {
        const uint32_t top = std::max(area.y, moving.y);
        const uint32_t bottom = std::min(area.y + area.height, moving.y + moving.height);
        for (uint32_t line = top; line < bottom; ++line)
            fill(picture, line, std::max(area.x, moving.x),
                 std::min(area.x + area.width, moving.x + moving.width), white);
    }
    if (text().intersects(area))
        drawDigits(stamp, area, picture);
}

std::array<TestPattern::Character, TestPattern::kCharacters>
TestPattern::characters(const studio::FrameStamp &stamp) const {
    const uint32_t cell = layout.cell;
    std::array<Character, kCharacters> line{};
    uint64_t number = stamp.number;
    for (uint32_t i = pattern::kFrameNumberDigits; i-- > 0; number /= 10)
        line[i] = {uint32_t(number % 10), layout.frameNumberLeft + i * pattern::kDigitAdvance * cell};
    size_t count = pattern::kFrameNumberDigits;
    uint32_t left = layout.timeCodeLeft;
    for (int part = 3; part >= 0; --part) {
        const uint32_t bcd = stamp.timeCode >> (8 * part) & 0xFF;
        for (const uint32_t digit : {bcd >> 4, bcd & 0x0F}) {
            line[count++] = {std::min<uint32_t>(digit, 9), left};
            left += pattern::kDigitAdvance * cell;
        }
        if (part > 0) {
            line[count++] = {kColon, left};
            left += pattern::kColonAdvance * cell;
        }
    }
    return line;
}

AreaKey TestPattern::areaKey(const studio::FrameStamp &stamp, const PatternRect &area) const {
    AreaKey key;
    const PatternRect moving = box(stamp.number);
    if (moving.intersects(area)) {
        key.boxLeft = std::max(area.x, moving.x);
        key.boxRight = std::min(area.x + area.width, moving.x + moving.width);
    }
    if (text().intersects(area)) {
        const uint32_t width = pattern::kGlyphColumns * layout.cell;
        const std::array<Character, kCharacters> line = characters(stamp);
        for (size_t i = 0; i < kCharacters; ++i)
            if (line[i].left < area.x + area.width && area.x < line[i].left + width)
                key.characters[i] = uint8_t(line[i].value + 1);
    }
    return key;
}

void TestPattern::drawDigits(const studio::FrameStamp &stamp, const PatternRect &area,
                             PlanarPicture &picture) const {
    const uint32_t cell = layout.cell;
    const uint32_t top = std::max(area.y, layout.textTop);
    const uint32_t bottom = std::min(area.y + area.height, layout.textTop + pattern::kGlyphRows * cell);
    const uint32_t right = area.x + area.width;
    const std::array<Character, kCharacters> line = characters(stamp);
    for (uint32_t y = top; y < bottom; ++y) {
        const uint32_t row = (y - layout.textTop) / cell;
        for (const Character &character : line) {
            const uint8_t bits = pattern::glyph(character.value)[row];
            for (uint32_t column = 0; column < pattern::kGlyphColumns; ++column) {
                if ((bits >> (pattern::kGlyphColumns - 1 - column) & 1) == 0)
                    continue;
                const uint32_t x = character.left + column * cell;
                fill(picture, y, std::max(area.x, x), std::min(right, x + cell), white);
            }
        }
    }
}
