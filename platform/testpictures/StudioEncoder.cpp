#include "platform/testpictures/StudioEncoder.h"

#include "platform/testpictures/BitWriter.h"
#include "platform/testpictures/BlockCoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace studio {

namespace {

constexpr uint8_t kVisualObjectSequenceStart = 0xB0;
constexpr uint8_t kVisualObjectStart = 0xB5;
constexpr uint8_t kVideoObjectStart = 0x00;
constexpr uint8_t kVideoObjectLayerStart = 0x20;
constexpr uint8_t kVopStart = 0xB6;
constexpr uint8_t kSliceStart = 0xB7;

// Simple Studio Profile, level 2; level 3 for 4:4:4, whose pictures hold more samples than level 2 allows.
constexpr uint8_t kSimpleStudioLevel2 = 0xE2;
constexpr uint8_t kSimpleStudioLevel3 = 0xE3;
constexpr uint8_t kSimpleStudioObjectType = 0x0E;
constexpr uint32_t kVideoObjectType = 1;
constexpr uint32_t kVersion = 1;
constexpr uint32_t kChroma422 = 2;
constexpr uint32_t kChroma444 = 3;
constexpr uint32_t kBitDepth = 10;
constexpr uint32_t kSquarePixels = 1;
constexpr uint32_t kFrameStructure = 3;
constexpr uint32_t kIntraVop = 0;
constexpr uint32_t kBitRateUnit = 400;     // bit/s
constexpr uint32_t kVbvBufferUnit = 16384; // bits
constexpr uint32_t kVbvOccupancyUnit = 64; // bits
constexpr int kSliceIdBits = 6;
// The quantiser_scale_codes tried in turn when a frame does not fit at the finest.
constexpr int kCoarserQuantisers[] = {2, 4, 8, 16, 31};

struct Rate {
    uint32_t numerator;
    uint32_t denominator;
    uint32_t code;
};
// frame_rate_code as ISO/IEC 13818-2 numbers the rates; 0 for a rate it has no code for.
constexpr Rate kFrameRateCodes[] = {{24000, 1001, 1}, {24, 1, 2}, {25, 1, 3},       {30000, 1001, 4},
                                    {30, 1, 5},       {50, 1, 6}, {60000, 1001, 7}, {60, 1, 8}};

uint32_t frameRateCode(const StudioFormat &format) {
    for (const Rate &rate : kFrameRateCodes)
        if (uint64_t(rate.numerator) * format.rateDenominator ==
            uint64_t(format.rateNumerator) * rate.denominator)
            return rate.code;
    return 0;
}

// Bits of macroblock_number: enough for the picture's macroblock count.
int macroblockNumberBits(const StudioFormat &format) {
    return std::bit_width(format.mbWidth() * format.mbHeight());
}

// The 64 bits of an SMPTE ST 12-1 time code word (bit k of the result is bit k of the word) for a time
// code of BCD bytes hours, minutes, seconds, frames.
uint64_t timeCodeWord(uint32_t timeCode, bool dropFrame) {
    const uint64_t frames = timeCode & 0xFF;
    const uint64_t seconds = timeCode >> 8 & 0xFF;
    const uint64_t minutes = timeCode >> 16 & 0xFF;
    const uint64_t hours = timeCode >> 24 & 0xFF;
    return (frames & 0x0F) | (frames >> 4 & 0x3) << 8 | uint64_t(dropFrame ? 1 : 0) << 10 |
           (seconds & 0x0F) << 16 | (seconds >> 4 & 0x7) << 24 | (minutes & 0x0F) << 32 |
           (minutes >> 4 & 0x7) << 40 | (hours & 0x0F) << 48 | (hours >> 4 & 0x3) << 56;
}

void marker(BitWriter &out) {
    out.put(1, 1);
}

// A field of up to 32 bits written as its upper and lower parts with a marker bit between them.
void splitField(BitWriter &out, uint32_t value, int upperBits, int lowerBits) {
    out.put(value >> lowerBits, upperBits);
    marker(out);
    out.put(value, lowerBits);
}

void appendLayerHeader(const StudioFormat &format, BitWriter &out) {
    const uint64_t bitsPerSecond = uint64_t(format.frameBytes) * 8 * format.rateNumerator /
                                   std::max<uint32_t>(1, format.rateDenominator);
    const uint32_t frameBits = format.frameBytes * 8;
    out.startCode(kVideoObjectLayerStart);
    out.put(1, 1); // random_accessible_vol
    out.put(kSimpleStudioObjectType, 8);
    out.put(kVersion, 4);
    out.put(0, 2); // rectangular shape
    out.put(0, 4); // shape extension
    out.put(1, 1); // progressive_sequence
    out.put(0, 1); // Y'CbCr, not GBR
    out.put(format.fullChroma ? kChroma444 : kChroma422, 2);
    out.put(kBitDepth, 4);
    marker(out);
    out.put(format.width, 14);
    marker(out);
    out.put(format.height, 14);
    marker(out);
    out.put(kSquarePixels, 4);
    out.put(frameRateCode(format), 4);
    splitField(out, uint32_t(std::min<uint64_t>(bitsPerSecond / kBitRateUnit, (1u << 30) - 1)), 15, 15);
    marker(out);
    splitField(out, (frameBits + kVbvBufferUnit - 1) / kVbvBufferUnit, 15, 3);
    splitField(out, frameBits / kVbvOccupancyUnit, 11, 15);
    marker(out);
    out.put(1, 1); // low_delay: no picture is held back
    out.put(0, 1); // mpeg2_stream
    out.alignWithZeros();
}

void appendVopHeader(const FrameStamp &stamp, BitWriter &out) {
    out.startCode(kVopStart);
    const uint64_t word = timeCodeWord(stamp.timeCode, stamp.dropFrame);
    for (int part = 3; part >= 0; --part) {
        out.put(uint32_t(word >> (16 * part)), 16);
        marker(out);
    }
    out.put(0, 4); // reserved
    out.put(uint32_t(stamp.number % 1024), 10);
    out.put(kFrameStructure, 2);
    out.put(kIntraVop, 2);
    out.put(1, 1); // vop_coded
    out.put(1, 1); // top_field_first
    out.put(0, 1); // repeat_first_field
    out.put(1, 1); // progressive_frame
    out.put(1, 1); // the DC predictors start afresh
    out.put(0, 1); // zigzag scan
    out.put(1, 1); // frame_pred_frame_dct: frame DCT only
    out.put(0, 2); // dct_precision
    out.put(0, 2); // intra_dc_precision
    out.put(0, 1); // linear quantiser scale
    out.alignWithZeros();
}

// Where a block of a macroblock lies: its plane and its offset in the macroblock's part of that plane.
struct BlockPlace {
    int plane;
    uint32_t x;
    uint32_t y;
};
// Luma top left, top right, bottom left, bottom right; then chroma, Cb and Cr alternating, top before
// bottom, and for 4:4:4 the left column before the right.
constexpr BlockPlace kBlocks422[] = {{0, 0, 0}, {0, 8, 0}, {0, 0, 8}, {0, 8, 8},
                                     {1, 0, 0}, {2, 0, 0}, {1, 0, 8}, {2, 0, 8}};
constexpr BlockPlace kBlocks444[] = {{0, 0, 0}, {0, 8, 0}, {0, 0, 8}, {0, 8, 8}, {1, 0, 0}, {2, 0, 0},
                                     {1, 0, 8}, {2, 0, 8}, {1, 8, 0}, {2, 8, 0}, {1, 8, 8}, {2, 8, 8}};

void appendMacroblock(const StudioFormat &format, const PlanarPicture &picture, uint32_t mbX, uint32_t mbY,
                      int quantiserCode, bool dcOnly, DcPredictors &predictors, BitWriter &out) {
    out.put(1, 1); // DCT coding
    out.put(1, 1); // intra, the slice's quantiser
    const std::span<const BlockPlace> blocks =
        format.fullChroma ? std::span<const BlockPlace>(kBlocks444) : std::span<const BlockPlace>(kBlocks422);
    const uint32_t chromaMbWidth = format.fullChroma ? 16 : 8;
    BlockSamples samples;
    for (const BlockPlace &block : blocks) {
        const uint32_t x = (block.plane == 0 ? 16 : chromaMbWidth) * mbX + block.x;
        const uint32_t y = 16 * mbY + block.y;
        for (uint32_t line = 0; line < 8; ++line)
            std::memcpy(&samples[line * 8], picture.row(block.plane, y + line) + x, 8 * sizeof(uint16_t));
        codeBlock(samples, block.plane, quantiserCode, dcOnly, predictors, out);
    }
}

// Bit position of slice_VOP_id in a slice: start code, macroblock number, quantiser, three flags.
size_t sliceIdBit(const StudioFormat &format) {
    return 32 + size_t(macroblockNumberBits(format)) + 5 + 3;
}

void setSliceId(std::span<uint8_t> slice, size_t bit, uint32_t id) {
    for (int i = 0; i < kSliceIdBits; ++i, ++bit) {
        const uint8_t mask = uint8_t(0x80 >> (bit % 8));
        const bool set = (id >> (kSliceIdBits - 1 - i) & 1) != 0;
        slice[bit / 8] = uint8_t(set ? slice[bit / 8] | mask : slice[bit / 8] & ~mask);
    }
}

std::vector<std::span<const uint8_t>> spansOf(const std::vector<uint8_t> &bytes,
                                              const std::vector<size_t> &ends) {
    std::vector<std::span<const uint8_t>> spans;
    size_t begin = 0;
    for (const size_t end : ends) {
        spans.emplace_back(bytes.data() + begin, end - begin);
        begin = end;
    }
    return spans;
}

} // namespace

std::vector<SliceSpan> sliceGrid(const StudioFormat &format) {
    std::vector<SliceSpan> slices;
    for (uint32_t mbY = 0; mbY < format.mbHeight(); ++mbY)
        for (uint32_t mbX = 0; mbX < format.mbWidth(); mbX += kSliceMacroblocks)
            slices.push_back(
                {mbY * format.mbWidth() + mbX, std::min(kSliceMacroblocks, format.mbWidth() - mbX)});
    return slices;
}

void appendFrameHeaders(const StudioFormat &format, const FrameStamp &stamp, std::vector<uint8_t> &out) {
    BitWriter bits(out);
    bits.startCode(kVisualObjectSequenceStart);
    bits.put(format.fullChroma ? kSimpleStudioLevel3 : kSimpleStudioLevel2, 8);
    bits.startCode(kVisualObjectStart);
    bits.put(kVersion, 4);
    bits.put(kVideoObjectType, 4);
    bits.startCode(kVideoObjectStart);
    appendLayerHeader(format, bits);
    appendVopHeader(stamp, bits);
}

void appendSlice(const StudioFormat &format, const PlanarPicture &picture, SliceSpan slice, int quantiserCode,
                 bool dcOnly, std::vector<uint8_t> &out) {
    BitWriter bits(out);
    bits.startCode(kSliceStart);
    bits.put(slice.first, macroblockNumberBits(format));
    bits.put(uint32_t(quantiserCode), 5);
    bits.put(1, 1); // slice extension follows
    bits.put(1, 1); // intra_slice
    bits.put(1, 1); // slice_VOP_id_enable
    bits.put(0, kSliceIdBits);
    bits.put(0, 1); // no extra information
    DcPredictors predictors;
    const uint32_t mbY = slice.first / format.mbWidth();
    for (uint32_t mbX = slice.first % format.mbWidth(), end = mbX + slice.count; mbX < end; ++mbX)
        appendMacroblock(format, picture, mbX, mbY, quantiserCode, dcOnly, predictors, bits);
    bits.alignWithZeros();
}

bool assembleFrame(const StudioFormat &format, const FrameStamp &stamp, std::span<const uint8_t> headers,
                   std::span<const std::span<const uint8_t>> slices, std::span<uint8_t> out) {
    if (out.size() != format.frameBytes)
        return false;
    size_t coded = headers.size();
    for (const std::span<const uint8_t> slice : slices)
        coded += slice.size();
    if (coded > out.size())
        return false;
    const uint64_t spare = out.size() - coded;
    const size_t idBit = sliceIdBit(format);
    const uint32_t id = uint32_t(stamp.number % (1u << kSliceIdBits));
    std::memcpy(out.data(), headers.data(), headers.size());
    size_t at = headers.size();
    uint64_t stuffed = 0;
    for (size_t i = 0; i < slices.size(); ++i) {
        const uint64_t stuffing = spare * i / slices.size() - stuffed;
        std::memset(out.data() + at, 0, stuffing);
        at += stuffing;
        stuffed += stuffing;
        std::memcpy(out.data() + at, slices[i].data(), slices[i].size());
        setSliceId(out.subspan(at, slices[i].size()), idBit, id);
        at += slices[i].size();
    }
    std::memset(out.data() + at, 0, out.size() - at);
    return true;
}

bool encodeFrame(const StudioFormat &format, const PlanarPicture &picture, const FrameStamp &stamp,
                 std::span<uint8_t> out) {
    if (out.size() != format.frameBytes)
        return false;
    std::vector<uint8_t> headers;
    appendFrameHeaders(format, stamp, headers);
    const std::vector<SliceSpan> grid = sliceGrid(format);
    std::vector<uint8_t> coded;
    std::vector<size_t> ends;
    const auto attempt = [&](int quantiserCode, bool dcOnly) {
        coded.clear();
        ends.clear();
        for (const SliceSpan slice : grid) {
            appendSlice(format, picture, slice, quantiserCode, dcOnly, coded);
            ends.push_back(coded.size());
        }
        return assembleFrame(format, stamp, headers, spansOf(coded, ends), out);
    };
    if (attempt(kFinestQuantiser, false))
        return true;
    for (const int quantiserCode : kCoarserQuantisers)
        if (attempt(quantiserCode, false))
            return true;
    return attempt(kFinestQuantiser, true);
}

} // namespace studio
