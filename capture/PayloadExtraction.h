#pragma once

// De-embedding of a payload block from a pair of captured pictures, and the check whether a captured
// picture begins a payload block. Free functions without state; safe from any thread.

#include <cstdint>

// Writes the payload block carried by two consecutive captured pictures (A then B, back to back, from
// firstLine) into destination, which must hold payload::kBlockSize bytes. secondLine points at line 1 of
// picture A: the distance between the two pointers is the distance between the lines of every pair.
// eightBit selects the 8-bit rule (pairs 7,680 bytes apart, 8,294,400 bytes read from firstLine) or the
// 10-bit rule (pairs 10,240 bytes apart, 11,059,200 bytes). Returns the bytes written, always
// payload::kBlockSize.
uint32_t ExtractPayload(uint8_t *destination, const uint8_t *firstLine, const uint8_t *secondLine,
                        bool eightBit);

// True when pictureA (one captured picture, 8-bit or 10-bit) begins a payload block: the index size in its
// first payload row announces 1 to 19 index entries. Prints its findings through odprintf.
bool IsValidFrame(const uint8_t *pictureA, bool eightBit);
