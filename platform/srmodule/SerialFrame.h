#pragma once

// Frames of the recorder's serial line, both directions: 0x30, L (the number of data bytes), two command
// bytes, L data bytes, then the low 8 bits of the sum of every byte before it. A frame is L + 5 bytes.

#include <cstdint>
#include <span>
#include <vector>

inline constexpr uint8_t kFrameStart = 0x30;
// Bytes of a frame around its data: start, length, two command bytes, checksum.
inline constexpr size_t kFrameOverhead = 5;
inline constexpr size_t kMaxFrameData = 255;

// The low 8 bits of the sum of bytes.
uint8_t frameChecksum(std::span<const uint8_t> bytes);

// The complete frame for the command bytes and data, checksum included. Empty when data is longer than
// kMaxFrameData, which the length byte cannot announce.
std::vector<uint8_t> buildFrame(uint8_t command1, uint8_t command2, std::span<const uint8_t> data);
