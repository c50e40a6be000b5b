#pragma once

// The simulated payload round trip: a short clip of random frames, sound and data is laid out in payload
// blocks as the recorder plays them out (frames split across block ends), each block is embedded into a
// pair of pictures at 8-bit and at 10-bit depth, de-embedded, checked and parsed, and the clip is rebuilt
// from the parsed indexes and compared with what was played out.

#include <cstdint>
#include <string>
#include <vector>

struct RoundTripReport {
    uint32_t blocks = 0;                 // payload blocks played out
    uint32_t blocksIdentical = 0;        // blocks (counted once per depth) de-embedded byte for byte
    uint32_t frames = 0;                 // frames played out
    uint32_t splitFrames = 0;            // frames cut at one block's end and continued in the next
    uint32_t framesIdentical = 0;        // frames (once per depth) rebuilt with the right bytes and time code
    uint64_t bytes = 0;                  // payload bytes played out per depth
    std::vector<std::string> mismatches; // one plain sentence per difference found
};

// Runs the round trip for a clip of frameCount frames at compression quality 2 with soundChannels
// channels. Deterministic for a given seed.
RoundTripReport runSimulatedRoundTrip(uint32_t frameCount, uint32_t soundChannels, uint32_t seed);
