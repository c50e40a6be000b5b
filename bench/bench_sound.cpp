// The sound check's cost: one second of 8-channel 48 kHz 24-bit sound, handed over frame by frame as the
// writer hands it on (25 frames of 1920 samples a channel), measured beside the per-frame checksums the
// writer already takes of the same samples, in the same run and on the same thread's CPU clock.

#include "tests/support/RandomBytes.h"
#include "verify/FrameChecksums.h"
#include "verify/SoundLevels.h"

#include <benchmark/benchmark.h>
#include <ctime>
#include <span>
#include <vector>

namespace {

constexpr uint32_t kLevelChannels = 8;
constexpr size_t kLevelFrames = 25;
constexpr size_t kFrameBytes = 1920 * 3;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void BM_SoundLevelsPerMaterialSecond(benchmark::State &state) {
    std::vector<std::vector<uint8_t>> sound;
    for (uint32_t k = 0; k < kLevelChannels; ++k)
        sound.push_back(randomBytes(kLevelFrames * kFrameBytes, 20 + k));
    std::vector<std::span<const uint8_t>> frame(kLevelChannels);
    const auto frameOf = [&](size_t number) {
        for (uint32_t k = 0; k < kLevelChannels; ++k)
            frame[k] = std::span<const uint8_t>(sound[k]).subspan(number * kFrameBytes, kFrameBytes);
    };
    double check = 0, checksums = 0;
    for (auto _ : state) {
        const double start = threadCpuSeconds();
        SoundLevels levels(kLevelChannels, false);
        for (size_t number = 0; number < kLevelFrames; ++number) {
            frameOf(number);
            levels.addFrame(uint32_t(number), frame);
        }
        benchmark::DoNotOptimize(levels.result());
        const double middle = threadCpuSeconds();
        for (size_t number = 0; number < kLevelFrames; ++number) {
            frameOf(number);
            for (const std::span<const uint8_t> channel : frame)
                benchmark::DoNotOptimize(checksumOf(channel));
        }
        checksums += threadCpuSeconds() - middle;
        check += middle - start;
    }
    const double seconds = double(state.iterations());
    state.counters["check_cpu_s_per_material_s"] = check / seconds;
    state.counters["checksum_cpu_s_per_material_s"] = checksums / seconds;
    state.counters["of_checksums"] = check / checksums;
}
BENCHMARK(BM_SoundLevelsPerMaterialSecond)->Unit(benchmark::kMicrosecond);

} // namespace
