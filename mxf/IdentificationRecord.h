#pragma once

// Who wrote an MXF file: the values of its Identification set. Copied by value; a default record has empty
// strings and zeros.

#include <array>
#include <cstdint>
#include <string>

struct IdentificationRecord {
    struct ProductVersion {
        uint16_t major = 0;
        uint16_t minor = 0;
        uint16_t patch = 0;
        uint16_t build = 0;
        uint16_t release = 0;
        bool operator==(const ProductVersion &) const = default;
    };

    std::u16string companyName;
    std::u16string productName;
    ProductVersion productVersion;
    std::u16string versionString;
    std::array<uint8_t, 16> productUID{};

    bool operator==(const IdentificationRecord &) const = default;
};
