#pragma once

// KLV coding: BER lengths and item headers. Every length the writer produces uses the 4-byte BER form
// (83 xx xx xx) so that pack fields sit at fixed offsets; a value of 2^24 bytes or more takes the 9-byte
// form (88 + eight bytes).

#include "bytes/ByteWriter.h"
#include "platform/smdk/Labels.h"

#include <cstdint>

namespace smdk {

inline constexpr size_t keySize = 16;
inline constexpr size_t shortBerSize = 4;
inline constexpr uint64_t shortBerLimit = uint64_t(1) << 24;

// Size of the BER length that appendBerLength writes for `length`.
size_t berLengthSize(uint64_t length);
void appendBerLength(ByteWriter &out, uint64_t length);
// Key and BER length of a KLV item whose value is `length` bytes.
void appendKlvHeader(ByteWriter &out, const UL &key, uint64_t length);

} // namespace smdk
