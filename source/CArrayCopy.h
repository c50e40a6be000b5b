#pragma once

// Placing bytes into a fixed byte array with a bounds check.

#include "mxf/Assertion.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <span>

// Copies `bytes` into `array` starting at `offset`. Throws util::assertion_failure
// "valid carray_copy_offset() parameters", and copies nothing, unless offset + bytes.size() lies within the
// array.
template <size_t N>
void carray_copy_offset(std::array<uint8_t, N> &array, size_t offset, std::span<const uint8_t> bytes) {
    util::require(offset <= N && bytes.size() <= N - offset, "valid carray_copy_offset() parameters");
    if (!bytes.empty())
        std::memcpy(array.data() + offset, bytes.data(), bytes.size());
}
