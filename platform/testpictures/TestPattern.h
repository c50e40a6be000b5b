#pragma once

// The test pattern of generated clips: 75 % colour bars over the upper half, a band in which a white box
// moves 8 pixels a frame to and fro, a black band with the frame number (7 digits, modulo 10,000,000) and
// the frame's time code (HH:MM:SS:FF) in white digits, and a grey ramp from black to white at the bottom.
//
// Every edge lies on the 8 x 8 block grid of luma and chroma and every area but the ramp is flat, so the
// coded picture is exact but for the ramp, and no block but the ramp's needs AC coefficients whose
// quantiser weights differ from their transposed ones (FFmpeg 5.1 applies the intra matrix transposed on
// the first picture a decoder decodes).
//
// Geometry is in luma samples of the format's coded picture. 1920 x 1080 and 1280 x 720 have layouts of
// their own; the digits are drawn on a grid of square cells (16 or 8 samples), each digit 5 cells wide and
// 7 high.

#include "platform/testpictures/PlanarPicture.h"
#include "platform/testpictures/StudioEncoder.h"
#include "platform/testpictures/StudioFormat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct PatternRect {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;

    bool intersects(const PatternRect &other) const {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
};

// What the moving parts of a frame put into an area: where the box covers it and which characters of the
// digit line fall into it. Two frames with equal keys for an area have the same pixels there.
struct AreaKey {
    static constexpr size_t kCharacters = 18; // 7 digits, then HH:MM:SS:FF

    uint32_t boxLeft = 0;
    uint32_t boxRight = 0;
    std::array<uint8_t, kCharacters> characters{}; // per character of the line: 0 outside, else its value + 1

    friend bool operator==(const AreaKey &, const AreaKey &) = default;
};

struct PatternLayout {
    uint32_t barsBottom = 0;     // bars above, the box band below
    uint32_t boxBandBottom = 0;  // the text band below
    uint32_t textBandBottom = 0; // the ramp below
    uint32_t boxTop = 0;
    uint32_t boxWidth = 0;
    uint32_t boxHeight = 0;
    uint32_t cell = 0;    // digit cell size
    uint32_t textTop = 0; // the digits' top line
    uint32_t frameNumberLeft = 0;
    uint32_t timeCodeLeft = 0;
};

namespace pattern {

inline constexpr uint32_t kFrameNumberDigits = 7;
inline constexpr uint32_t kGlyphColumns = 5;
inline constexpr uint32_t kGlyphRows = 7;
inline constexpr uint32_t kDigitAdvance = 6; // cells
inline constexpr uint32_t kColonAdvance = 4; // cells
inline constexpr uint32_t kBoxStep = 8;      // samples per frame

// The rows of the glyph of a digit 0 to 9 (10: the colon), top first; bit 4 is the leftmost column.
const std::array<uint8_t, kGlyphRows> &glyph(uint32_t character);

// The layout of a format: 1280 x 720 when its height is 720 or less, 1920 x 1080 otherwise.
PatternLayout layoutFor(const StudioFormat &format);

} // namespace pattern

class TestPattern {
public:
    explicit TestPattern(const StudioFormat &format);

    // Where the box is in frame.
    PatternRect box(uint64_t frame) const;
    // Where the digits are drawn.
    PatternRect text() const;

    // What the box and the digits of the stamp's frame put into area.
    AreaKey areaKey(const studio::FrameStamp &stamp, const PatternRect &area) const;

    // Draws the area of the picture of the stamp's frame into picture. Areas are whole 8 x 8 blocks.
    void draw(const studio::FrameStamp &stamp, const PatternRect &area, PlanarPicture &picture) const;
    // Draws the area as it is in every frame where neither the box nor the digits cover it.
    void drawBackground(const PatternRect &area, PlanarPicture &picture) const;

private:
    struct Colour {
        uint16_t y;
        uint16_t cb;
        uint16_t cr;
    };
    // A character of the digit line and the sample where it begins.
    struct Character {
        uint32_t value; // 0 to 9, or 10 for the colon
        uint32_t left;
    };
    static constexpr size_t kCharacters = AreaKey::kCharacters;

    std::array<Character, kCharacters> characters(const studio::FrameStamp &stamp) const;
    void fill(PlanarPicture &picture, uint32_t line, uint32_t left, uint32_t right, Colour colour) const;
    void drawDigits(const studio::FrameStamp &stamp, const PatternRect &area, PlanarPicture &picture) const;

    StudioFormat format;
    PatternLayout layout;
    std::array<uint32_t, 8> barEdges{}; // bar i spans barEdges[i] to barEdges[i + 1]
    std::array<Colour, 7> bars{};
    Colour grey{};
    Colour black{};
    Colour white{};
    std::vector<uint16_t> ramp; // the ramp's luma line
};
