// The archival stages of a transfer, each alone: the per-frame checksum of what is handed to the MXF
// library (one 1080 HQ picture), and the whole-file SHA-256 of a finished file read from the page cache.
// The re-read that compares a finished file with those checksums is the difference between BM_PipelineMax's
// verify:1 and verify:0.

#include "tests/support/RandomBytes.h"
#include "verify/FileDigest.h"
#include "verify/FrameChecksums.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr size_t kPictureBytes = 1'875'000;
constexpr size_t kFileBytes = 256u << 20;

void BM_FrameChecksum(benchmark::State &state) {
    const std::vector<uint8_t> picture = randomBytes(kPictureBytes, 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(checksumOf(picture));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPictureBytes));
}
BENCHMARK(BM_FrameChecksum);

void BM_Sha256OfFile(benchmark::State &state) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("bench-sha256-" + std::to_string(getpid()) + ".bin");
    {
        const std::vector<uint8_t> chunk = randomBytes(1u << 20, 4);
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        for (size_t written = 0; written < kFileBytes; written += chunk.size())
            stream.write(reinterpret_cast<const char *>(chunk.data()), std::streamsize(chunk.size()));
    }
    const QString file = QString::fromStdString(path.string());
    for (auto _ : state)
        benchmark::DoNotOptimize(sha256OfFile(file));
    std::filesystem::remove(path);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileBytes));
}
BENCHMARK(BM_Sha256OfFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
