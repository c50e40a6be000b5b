#pragma once

// The simulated recorder's side of the payload carriage: a payload block embedded into a pair of pictures
// as the recorder plays them out in transfer mode, the exact inverse of ExtractPayload.

#include <cstdint>
#include <span>

// Embeds block (payload::kBlockSize bytes) into pictures: picture A then picture B, back to back,
// payload::picturePairBytes(eightBit) bytes, 8-bit 4:2:2 lines or 10-bit lines of little-endian words.
// In 10-bit pictures each sample carries its payload byte in its low eight bits; the bits that carry no
// payload (8, 9, 18, 19, 28 to 31 of every word) keep what pictures held. False, and nothing written,
// when a size is wrong.
bool EmbedPayload(std::span<const uint8_t> block, std::span<uint8_t> pictures, bool eightBit);
