#include "capture/SimdLevel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace simd {

namespace {

constexpr char kSimdVariable[] = "VANTREL_SIMD";

Level processorLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw"))
        return Level::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return Level::Avx2;
    if (__builtin_cpu_supports("ssse3"))
        return Level::Ssse3;
#endif
    return Level::Portable;
}

Level detect() {
    const Level best = processorLevel();
    const char *setting = std::getenv(kSimdVariable);
    if (setting == nullptr)
        return best;
    if (std::strcmp(setting, "off") == 0)
        return Level::Portable;
    if (std::strcmp(setting, "ssse3") == 0)
        return std::min(best, Level::Ssse3);
    if (std::strcmp(setting, "avx2") == 0)
        return std::min(best, Level::Avx2);
    return best;
}

} // namespace

Level level() {
    static const Level chosen = detect();
    return chosen;
}

} // namespace simd
