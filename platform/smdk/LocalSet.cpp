#include "platform/smdk/LocalSet.h"

#include "bytes/ByteWriter.h"
#include "mxf/Assertion.h"
#include "platform/smdk/Klv.h"

namespace smdk {

namespace {

constexpr size_t maximumItemLength = 0xFFFF;

std::vector<uint8_t> bigEndian(uint64_t value, size_t count) {
    std::vector<uint8_t> out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = uint8_t(value >> (8 * (count - 1 - i)));
    return out;
}

} // namespace

LocalSet &LocalSet::u8(const LocalTag &tag, uint8_t value) {
    return bytes(tag, bigEndian(value, 1));
}
LocalSet &LocalSet::u16(const LocalTag &tag, uint16_t value) {
    return bytes(tag, bigEndian(value, 2));
}
LocalSet &LocalSet::u32(const LocalTag &tag, uint32_t value) {
    return bytes(tag, bigEndian(value, 4));
}
LocalSet &LocalSet::i64(const LocalTag &tag, int64_t value) {
    return bytes(tag, bigEndian(uint64_t(value), 8));
}

LocalSet &LocalSet::rational(const LocalTag &tag, SMDKRational value) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    writer.u32BE(uint32_t(value.numerator));
    writer.u32BE(uint32_t(value.denominator));
    return bytes(tag, out);
}

LocalSet &LocalSet::label(const LocalTag &tag, const std::array<uint8_t, 16> &value) {
    return bytes(tag, value);
}

LocalSet &LocalSet::umid(const LocalTag &tag, const UMID &value) {
    return bytes(tag, value.bytes);
}

LocalSet &LocalSet::utf16(const LocalTag &tag, const std::u16string &value) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    for (char16_t unit : value)
        writer.u16BE(uint16_t(unit));
    // Readers reject an item of length 0; an empty string is one NUL code unit, which they read as empty.
    if (value.empty())
        writer.u16BE(0);
    return bytes(tag, out);
}

LocalSet &LocalSet::timestamp(const LocalTag &tag, const SMDKDateTime &value) {
    // The recorder counts hundredths of a second; MXF stores quarter milliseconds.
    const unsigned quarterMilliseconds = value.subSecond <= 99 ? value.subSecond * 10u / 4u : 0u;
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    writer.u16BE(value.year);
    writer.u8(value.month);
    writer.u8(value.day);
    writer.u8(value.hour);
    writer.u8(value.minute);
    writer.u8(value.second);
    writer.u8(uint8_t(quarterMilliseconds));
    return bytes(tag, out);
}

LocalSet &LocalSet::labels(const LocalTag &tag, const std::vector<std::array<uint8_t, 16>> &values) {
    std::vector<uint8_t> elements;
    for (const auto &value : values)
        elements.insert(elements.end(), value.begin(), value.end());
    return array(tag, uint32_t(values.size()), 16, elements);
}

LocalSet &LocalSet::int32Array(const LocalTag &tag, const std::vector<int32_t> &values) {
    std::vector<uint8_t> elements;
    ByteWriter writer(elements);
    for (int32_t value : values)
        writer.u32BE(uint32_t(value));
    return array(tag, uint32_t(values.size()), 4, elements);
}

LocalSet &LocalSet::array(const LocalTag &tag, uint32_t count, uint32_t elementSize,
                          std::span<const uint8_t> elements) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    writer.u32BE(count);
    writer.u32BE(elementSize);
    writer.bytes(elements);
    return bytes(tag, out);
}

LocalSet &LocalSet::bytes(const LocalTag &tag, std::span<const uint8_t> value) {
    util::require(value.size() <= maximumItemLength, "item fits a local set");
    ByteWriter writer(items_);
    writer.u16BE(tag.tag);
    writer.u16BE(uint16_t(value.size()));
    writer.bytes(value);
    return *this;
}

void LocalSet::appendTo(std::vector<uint8_t> &out) const {
    ByteWriter writer(out);
    appendKlvHeader(writer, key_, items_.size());
    writer.bytes(items_);
}

} // namespace smdk
