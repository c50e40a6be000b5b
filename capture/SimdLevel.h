#pragma once

// The vector instructions the capture engine's hot loops (de-embedding, the frame index's key search) use:
// the best this processor runs, or less when the environment variable VANTREL_SIMD says so when the
// process first asks: "off" keeps them to portable C++, "ssse3" to 16-byte vectors, "avx2" to 32-byte
// vectors (the tests run every way). Safe from any thread.

namespace simd {

enum class Level {
    Portable, // plain C++
    Ssse3,    // 16-byte vectors with byte shuffles
    Avx2,     // 32-byte vectors
    Avx512,   // 64-byte vectors with byte permutes and multishifts (AVX-512 VBMI)
};

Level level();

} // namespace simd
