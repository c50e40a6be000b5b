#pragma once

// SMPTE 330M unique material identifier, basic (32-byte) form:
//   bytes 0-9   universal label 06 0A 2B 34 01 01 01 05 01 01
//   byte 10     material type
//   byte 11     number creation methods
//   byte 12     length of the rest: 0x13 (0x33 for an extended UMID)
//   bytes 13-15 instance number, big-endian
//   bytes 16-31 material number
// A plain value: any 32 bytes may be held (a seed built from a clip's identifier, for one); the operations
// below write the standard layout.

#include <array>
#include <cstdint>
#include <span>

struct UMID {
    static constexpr size_t size = 32;
    static constexpr size_t materialTypeOffset = 10;
    static constexpr size_t creationMethodsOffset = 11;
    static constexpr size_t materialNumberOffset = 16;
    static constexpr size_t materialNumberSize = 16;
    static constexpr uint32_t instanceNumberLimit = 1u << 24;

    // 1 for a 64-byte extended UMID; this system always uses 0.
    uint32_t extended = 0;
    std::array<uint8_t, size> bytes{};

    // A fresh identifier: make(0x0F), "material type not identified".
    UMID();
    // A fresh identifier of the given material type: make(materialType).
    explicit UMID(uint8_t materialType);
    // Holds the 32 bytes as given, without writing the label.
    static UMID fromBytes(const std::array<uint8_t, size> &bytes);

    // Writes the label and length byte, material type `type`, creation methods 0x23, instance number 0 and a
    // new random UUID (RFC 4122 byte order) as material number.
    void make(uint8_t type);
    // Throws util::assertion_failure "valid instance number" unless number < 2^24.
    void setInstanceNumber(uint32_t number);
    void setMaterialNumber(std::span<const uint8_t, materialNumberSize> number);

    uint32_t instanceNumber() const;
    std::span<const uint8_t, materialNumberSize> materialNumber() const;

    bool operator==(const UMID &) const = default;

private:
    struct Unlabelled {};
    explicit UMID(Unlabelled) {}
};
