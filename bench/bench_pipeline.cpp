// The whole pipeline as the command-line tool runs it: the simulated recorder's play-out through the
// virtual card, the capture thread, the ring and the writer into an MXF file on disk (file only, no
// preview), for a 20-second 1080 HQ 29.97 clip with eight sound channels and data items.
// BM_PipelineMax runs at full speed, with the finished file read back and compared (verify:1) and without
// (verify:0), and gives material seconds per wall second, from start() to the transfer's completion. Beside
// it, measured in the same run after every transfer, is the ceiling the disk sets: the same number of bytes
// written to a new file and synced, as the transfer must, with nothing else to do
// (ceiling_realtime_ratio), and the pipeline's share of it (of_ceiling); and the same bytes written with
// O_DIRECT and synced, as the transfer itself writes them (direct_ceiling_realtime_ratio, of_direct_ceiling).
// BM_PipelineRealTimeCpu runs at real-time pace and gives the CPU time a second of material costs: the
// system's own threads (capture, writer, UART reader), each of them, the simulated card's feeder (the
// recorder's play-out), and the whole process.

#include "bench/TransferRun.h"
#include "mxf/DurableFile.h"
#include "platform/cardlib/SimSpeed.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

using namespace benchsupport;

constexpr int kClipFrames = 600;
constexpr int kPipelineMode = QIROSRTransfer::kModeWithoutPreview;

// A folder on disk for the output files, removed with the object.
class OutputFolder {
public:
    OutputFolder() : folder(QDir::tempPath() + "/vantrel-bench-XXXXXX") {}
    std::string path() const { return folder.path().toStdString(); }
    // Bytes of the files written so far; the folder is emptied.
    uintmax_t takeBytes() const {
        uintmax_t bytes = 0;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(path()))
            if (entry.is_regular_file())
                bytes += entry.file_size();
        for (const auto &entry : std::filesystem::directory_iterator(path()))
            std::filesystem::remove_all(entry.path());
        return bytes;
    }

private:
    QTemporaryDir folder;
};

// Seconds to write `bytes` to a new file in `folder` and sync it to disk; the file is removed.
double durableWriteSeconds(const std::string &folder, uintmax_t bytes) {
    const std::vector<char> chunk(4 << 20, 0x5a);
    const std::string path = folder + "/ceiling.bin";
    const auto started = std::chrono::steady_clock::now();
    {
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        for (uintmax_t left = bytes; left > 0;) {
            const uintmax_t now = std::min<uintmax_t>(left, chunk.size());
            stream.write(chunk.data(), std::streamsize(now));
            left -= now;
        }
    }
    syncFile(QString::fromStdString(path));
    const auto finished = std::chrono::steady_clock::now();
    std::filesystem::remove(path);
    return std::chrono::duration<double>(finished - started).count();
}

// Seconds to write `bytes` to a new file in `folder` with O_DIRECT, in 8 MiB writes, and sync it; the file
// is removed. Zero when the file system refuses direct I/O.
double directWriteSeconds(const std::string &folder, uintmax_t bytes) {
    constexpr size_t kChunk = size_t(8) << 20;
    const std::unique_ptr<char, decltype(&std::free)> chunk(
        static_cast<char *>(std::aligned_alloc(4096, kChunk)), &std::free);
    std::fill_n(chunk.get(), kChunk, 0x5a);
    const std::string path = folder + "/direct-ceiling.bin";
    const auto started = std::chrono::steady_clock::now();
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_DIRECT | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return 0;
    // Whole chunks: the few bytes over the transfer's size change nothing measurable.
    for (uintmax_t offset = 0; offset < bytes; offset += kChunk)
        if (::pwrite(descriptor, chunk.get(), kChunk, off_t(offset)) != ssize_t(kChunk))
            break;
    ::fdatasync(descriptor);
    ::close(descriptor);
    const auto finished = std::chrono::steady_clock::now();
    std::filesystem::remove(path);
    return std::chrono::duration<double>(finished - started).count();
}

// Runs one transfer; false, with the benchmark told why, when it did not complete or wrote no file.
bool pipelineOnce(benchmark::State &state, const BenchClip &clip, const OutputFolder &output,
                  bool verification, Timing &timing, uintmax_t &written) {
    timing = transferOnce(clip.info, output.path(), kPipelineMode, verification);
    written = output.takeBytes();
    // Every frame's picture at least.
    if (!timing.completed || written < uintmax_t(clip.info.durationFrames) * 1'875'000) {
        state.SkipWithError(("the transfer did not complete into a whole file: " +
                             (timing.completed ? "too few bytes" : timing.ending))
                                .c_str());
        return false;
    }
    return true;
}

struct PipelineRuns {
    double wall = 0;
    double material = 0;
    double durableWrite = 0; // the same bytes written plainly to a new file and synced
    double directWrite = 0;  // the same bytes written to a new file with O_DIRECT and synced
    CpuUse used;
};

// Runs the benchmark's transfers at the given simulation speed.
PipelineRuns runPipeline(benchmark::State &state, const char *speed, bool verification) {
    qputenv(cardlib::kSimSpeedVariable, speed);
    const BenchClip clip(kClipFrames);
    const OutputFolder output;
    PipelineRuns runs;
    for (auto _ : state) {
        const CpuUse before = CpuUse::now();
        Timing timing;
        uintmax_t written = 0;
        if (!pipelineOnce(state, clip, output, verification, timing, written))
            break;
        runs.used += CpuUse::now() - before;
        state.SetIterationTime(timing.seconds);
        runs.wall += timing.seconds;
        runs.material += clip.materialSeconds();
        runs.durableWrite += durableWriteSeconds(output.path(), written);
        runs.directWrite += directWriteSeconds(output.path(), written);
    }
    qunsetenv(cardlib::kSimSpeedVariable);
    return runs;
}

// CPU seconds per material second: the system's threads together and each, the simulated card's feeder and
// the whole process.
void countCpu(benchmark::State &state, const PipelineRuns &runs) {
    const CpuUse &used = runs.used;
    const double material = runs.material;
    state.counters["system_cpu_s_per_material_s"] = used.system() / material;
    state.counters["process_cpu_s_per_material_s"] = used.process / material;
    state.counters["capture_cpu_s_per_material_s"] = used.capture / material;
    state.counters["writer_cpu_s_per_material_s"] = used.writer / material;
    state.counters["uart_cpu_s_per_material_s"] = used.uart / material;
    state.counters["file_io_cpu_s_per_material_s"] = used.fileIo / material;
    state.counters["feeder_cpu_s_per_material_s"] = used.feeder / material;
}

void BM_PipelineMax(benchmark::State &state) {
    const PipelineRuns runs = runPipeline(state, "max", state.range(0) != 0);
    state.counters["realtime_ratio"] = runs.material / runs.wall;
    state.counters["ceiling_realtime_ratio"] = runs.material / runs.durableWrite;
    state.counters["of_ceiling"] = runs.durableWrite / runs.wall;
    state.counters["direct_ceiling_realtime_ratio"] = runs.material / runs.directWrite;
    state.counters["of_direct_ceiling"] = runs.directWrite / runs.wall;
    countCpu(state, runs);
}
BENCHMARK(BM_PipelineMax)
    ->ArgName("verify")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

void BM_PipelineRealTimeCpu(benchmark::State &state) {
    countCpu(state, runPipeline(state, "1", state.range(0) != 0));
}
BENCHMARK(BM_PipelineRealTimeCpu)
    ->ArgName("verify")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace
