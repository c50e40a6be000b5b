#pragma once

// The items of a local set (a header metadata set or an index table segment): a 2-byte tag, a 2-byte
// length and the value, one after another to the set's end. Values are views into the set's bytes.

#include "bytes/ByteReader.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>

namespace conform {

using LocalItems = std::map<uint16_t, std::span<const uint8_t>>;

// Nothing when the value does not split into whole items.
inline std::optional<LocalItems> readLocalItems(std::span<const uint8_t> value) {
    ByteReader reader(value);
    LocalItems items;
    while (reader.remaining() > 0) {
        uint16_t tag = 0, length = 0;
        std::span<const uint8_t> item;
        if (!reader.readU16BE(tag) || !reader.readU16BE(length) || !reader.readView(length, item))
            return std::nullopt;
        items[tag] = item;
    }
    return items;
}

// The item as a big-endian unsigned number of `bytes` bytes; nothing when it is absent or of another size.
inline std::optional<uint64_t> itemNumber(const LocalItems &items, uint16_t tag, size_t bytes) {
    const auto found = items.find(tag);
    if (found == items.end() || found->second.size() != bytes)
        return std::nullopt;
    uint64_t value = 0;
    for (const uint8_t byte : found->second)
        value = value << 8 | byte;
    return value;
}

} // namespace conform
