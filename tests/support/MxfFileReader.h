#pragma once

// An MXF reader for tests, written apart from the library that writes the files: it splits a file into KLV
// items and decodes partition packs, the Random Index Pack and index table segments by their published
// layouts (SMPTE 377M), so a fault in the writer's own coding cannot hide itself.

#include "bytes/ByteReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mxftest {

using Key = std::array<uint8_t, 16>;

struct Klv {
    uint64_t offset = 0;
    Key key{};
    uint64_t valueOffset = 0;
    uint64_t length = 0;
    uint64_t end() const { return valueOffset + length; }
};

struct PartitionPack {
    uint64_t offset = 0;
    uint8_t kind = 0;
    uint8_t status = 0;
    uint64_t thisPartition = 0;
    uint64_t previousPartition = 0;
    uint64_t footerPartition = 0;
    uint64_t headerByteCount = 0;
    uint64_t indexByteCount = 0;
    uint32_t indexSid = 0;
    uint64_t bodyOffset = 0;
    uint32_t bodySid = 0;
};

struct RipEntry {
    uint32_t bodySid = 0;
    uint64_t offset = 0;
    bool operator==(const RipEntry &) const = default;
};

inline std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every KLV item from the start of the file; nullopt when an item does not fit the file.
inline std::optional<std::vector<Klv>> splitKlv(std::span<const uint8_t> file) {
    std::vector<Klv> items;
    ByteReader reader(file);
    while (reader.remaining() > 0) {
        Klv klv;
        klv.offset = reader.position();
        uint8_t first = 0;
        if (!reader.readBytes(klv.key.data(), klv.key.size()) || !reader.readU8(first))
            return std::nullopt;
        if (first < 0x80) {
            klv.length = first;
        } else {
            const unsigned count = first & 0x7F;
            if (count == 0 || count > 8)
                return std::nullopt;
            for (unsigned i = 0; i < count; ++i) {
                uint8_t byte = 0;
                if (!reader.readU8(byte))
                    return std::nullopt;
                klv.length = klv.length << 8 | byte;
            }
        }
        klv.valueOffset = reader.position();
        if (!reader.skip(klv.length))
            return std::nullopt;
        items.push_back(klv);
    }
    return items;
}

inline bool keyStartsWith(const Key &key, std::initializer_list<uint8_t> prefix) {
    return std::equal(prefix.begin(), prefix.end(), key.begin());
}

inline bool isPartitionPack(const Key &key) {
    return keyStartsWith(key,
                         {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01}) &&
           key[13] >= 0x02 && key[13] <= 0x04 && key[15] == 0x00;
}

inline std::optional<PartitionPack> decodePartitionPack(std::span<const uint8_t> file, const Klv &klv) {
    PartitionPack pack;
    pack.offset = klv.offset;
    pack.kind = klv.key[13];
    pack.status = klv.key[14];
    ByteReader reader(file.subspan(klv.valueOffset, klv.length));
    uint16_t major = 0, minor = 0;
    uint32_t kag = 0;
    if (!reader.readU16BE(major) || !reader.readU16BE(minor) || !reader.readU32BE(kag) ||
        !reader.readU64BE(pack.thisPartition) || !reader.readU64BE(pack.previousPartition) ||
        !reader.readU64BE(pack.footerPartition) || !reader.readU64BE(pack.headerByteCount) ||
        !reader.readU64BE(pack.indexByteCount) || !reader.readU32BE(pack.indexSid) ||
        !reader.readU64BE(pack.bodyOffset) || !reader.readU32BE(pack.bodySid))
        return std::nullopt;
    return pack;
}

// Reads the eight bytes at `offset`, big-endian.
inline uint64_t u64At(std::span<const uint8_t> file, uint64_t offset) {
    ByteReader reader(file);
    uint64_t value = 0;
    return reader.seek(offset) && reader.readU64BE(value) ? value : ~uint64_t(0);
}

// Entries of a Random Index Pack and its trailing length; nullopt when malformed.
inline std::optional<std::pair<std::vector<RipEntry>, uint32_t>> decodeRip(std::span<const uint8_t> file,
                                                                           const Klv &klv) {
    if (klv.length < 4 || (klv.length - 4) % 12 != 0)
        return std::nullopt;
    ByteReader reader(file.subspan(klv.valueOffset, klv.length));
    std::vector<RipEntry> entries((klv.length - 4) / 12);
    for (RipEntry &entry : entries)
        if (!reader.readU32BE(entry.bodySid) || !reader.readU64BE(entry.offset))
            return std::nullopt;
    uint32_t length = 0;
    if (!reader.readU32BE(length))
        return std::nullopt;
    return std::make_pair(entries, length);
}

// Items of a local set (2-byte tags and lengths): tag to value.
inline std::optional<std::vector<std::pair<uint16_t, std::span<const uint8_t>>>>
decodeLocalSet(std::span<const uint8_t> file, const Klv &klv) {
    std::vector<std::pair<uint16_t, std::span<const uint8_t>>> items;
    ByteReader reader(file.subspan(klv.valueOffset, klv.length));
    while (reader.remaining() > 0) {
        uint16_t tag = 0, length = 0;
        std::span<const uint8_t> value;
        if (!reader.readU16BE(tag) || !reader.readU16BE(length) || !reader.readView(length, value))
            return std::nullopt;
        items.emplace_back(tag, value);
    }
    return items;
}

// Stream offsets of the edit units an index table segment lists (its IndexEntryArray, 0x3F0A).
inline std::optional<std::vector<uint64_t>> decodeIndexEntries(std::span<const uint8_t> file,
                                                               const Klv &klv) {
    const auto items = decodeLocalSet(file, klv);
    if (!items)
        return std::nullopt;
    for (const auto &[tag, value] : *items) {
        if (tag != 0x3F0A)
            continue;
        ByteReader reader(value);
        uint32_t count = 0, size = 0;
        if (!reader.readU32BE(count) || !reader.readU32BE(size) || size < 11)
            return std::nullopt;
        std::vector<uint64_t> offsets(count);
        for (uint64_t &offset : offsets)
            if (!reader.skip(3) || !reader.readU64BE(offset) || !reader.skip(size - 11))
                return std::nullopt;
        return offsets;
    }
    return std::nullopt;
}

} // namespace mxftest
