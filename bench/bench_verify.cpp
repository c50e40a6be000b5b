// The archival stages of a transfer, each alone: the per-frame checksum of what is handed to the MXF
// library (one 1080 HQ picture), the whole-file SHA-256 of a finished file read from the page cache, and
// each whole-file digest the read-back may take, fed from memory (sha256, the baseline, then xxh128 and md5
// for the hash list).
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

// Arg 0: SHA-256 (always taken), 1: xxh128 (always, for the hash list), 2: MD5 (with --md5).
void BM_WholeFileDigest(benchmark::State &state) {
    const std::vector<uint8_t> window = randomBytes(8u << 20, 5);
    const auto make = [&state] {
        return state.range(0) == 0 ? sha256Digest() : state.range(0) == 1 ? xxh128Digest() : md5Digest();
    };
    for (auto _ : state) {
        const std::unique_ptr<WholeFileDigest> digest = make();
        digest->update(window);
        benchmark::DoNotOptimize(digest->result());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(window.size()));
    state.SetLabel(state.range(0) == 0 ? "sha256" : state.range(0) == 1 ? "xxh128" : "md5");
}
BENCHMARK(BM_WholeFileDigest)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
