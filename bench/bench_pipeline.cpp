// The whole pipeline as the command-line tool runs it: the simulated recorder's play-out through the
// virtual card, the capture thread, the ring and the writer into an MXF file on disk (file only, no
// preview), for a 20-second 1080 HQ 29.97 clip with eight sound channels and data items.
// BM_PipelineMax runs at full speed and gives material seconds per wall second, from start() to the
// transfer's completion. BM_PipelineRealTimeCpu runs at real-time pace and gives the CPU time a second of
// material costs: the system's own threads (capture, writer, UART reader), each of them, the simulated
// card's feeder (the recorder's play-out), and the whole process.

#include "bench/TransferRun.h"
#include "platform/cardlib/SimSpeed.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <filesystem>

namespace {

using namespace benchsupport;

constexpr int kClipFrames = 600;
constexpr int kMode = QIROSRTransfer::kModeWithoutPreview;

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

// Runs one transfer; false, with the benchmark told why, when it did not complete or wrote no file.
bool pipelineOnce(benchmark::State &state, const BenchClip &clip, const OutputFolder &output,
                  Timing &timing) {
    timing = transferOnce(clip.info, output.path(), kMode);
    const uintmax_t written = output.takeBytes();
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
    CpuUse used;
};

// Runs the benchmark's transfers at the given simulation speed.
PipelineRuns runPipeline(benchmark::State &state, const char *speed) {
    qputenv(cardlib::kSimSpeedVariable, speed);
    const BenchClip clip(kClipFrames);
    const OutputFolder output;
    PipelineRuns runs;
    for (auto _ : state) {
        const CpuUse before = CpuUse::now();
        Timing timing;
        if (!pipelineOnce(state, clip, output, timing))
            break;
        runs.used += CpuUse::now() - before;
        state.SetIterationTime(timing.seconds);
        runs.wall += timing.seconds;
        runs.material += clip.materialSeconds();
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
    state.counters["feeder_cpu_s_per_material_s"] = used.feeder / material;
}

void BM_PipelineMax(benchmark::State &state) {
    const PipelineRuns runs = runPipeline(state, "max");
    state.counters["realtime_ratio"] = runs.material / runs.wall;
    countCpu(state, runs);
}
BENCHMARK(BM_PipelineMax)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

void BM_PipelineRealTimeCpu(benchmark::State &state) {
    countCpu(state, runPipeline(state, "1"));
}
BENCHMARK(BM_PipelineRealTimeCpu)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace
