#pragma once

// One local set (header metadata set or index table segment) being coded: items of local tag (UInt16),
// length (UInt16) and value, all big-endian. A value longer than 65,535 bytes throws
// util::assertion_failure "item fits a local set".

#include "mxf/SMDKTypes.h"
#include "mxf/UMID.h"
#include "platform/smdk/Labels.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace smdk {

using Uuid = std::array<uint8_t, 16>;

class LocalSet {
public:
    explicit LocalSet(const UL &key) : key_(key) {}

    LocalSet &u8(const LocalTag &tag, uint8_t value);
    LocalSet &u16(const LocalTag &tag, uint16_t value);
    LocalSet &u32(const LocalTag &tag, uint32_t value);
    LocalSet &i64(const LocalTag &tag, int64_t value);
    LocalSet &boolean(const LocalTag &tag, bool value) { return u8(tag, value ? 1 : 0); }
    LocalSet &rational(const LocalTag &tag, SMDKRational value);
    // A UL, UUID or strong/weak reference: 16 bytes.
    LocalSet &label(const LocalTag &tag, const std::array<uint8_t, 16> &value);
    LocalSet &umid(const LocalTag &tag, const UMID &value);
    // UTF-16BE code units, no terminator; an empty string is a single NUL code unit.
    LocalSet &utf16(const LocalTag &tag, const std::u16string &value);
    // MXF timestamp: year, month, day, hour, minute, second, quarter milliseconds.
    LocalSet &timestamp(const LocalTag &tag, const SMDKDateTime &value);
    // Batch or array of 16-byte values: count, element size 16, elements.
    LocalSet &labels(const LocalTag &tag, const std::vector<std::array<uint8_t, 16>> &values);
    LocalSet &int32Array(const LocalTag &tag, const std::vector<int32_t> &values);
    // Array of fixed-size elements given already coded: count, element size, elements.
    LocalSet &array(const LocalTag &tag, uint32_t count, uint32_t elementSize,
                    std::span<const uint8_t> elements);
    LocalSet &bytes(const LocalTag &tag, std::span<const uint8_t> value);

    // Appends the whole set: key, 4-byte BER length, items.
    void appendTo(std::vector<uint8_t> &out) const;

private:
    UL key_;
    std::vector<uint8_t> items_;
};

} // namespace smdk
