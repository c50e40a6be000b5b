// Copies to a second destination from the same play-out, against one copy measured in the same run: the
// throughput at full speed with both copies on one disk (the second copy's share of the time), and the CPU
// time the system's threads spend per second of material at real-time pace (the second copy's cost).

#include "bench/TransferRun.h"
#include "platform/cardlib/SimSpeed.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace benchsupport;

constexpr int kMode = QIROSRTransfer::kModeWithoutPreview;

// One and two copies, alternately, so that both see the same machine, after one transfer that is not counted
// (the first transfer of the process takes its buffers and faults their pages in).
struct Alternating {
    explicit Alternating(const BenchClip &clip) {
        QTemporaryDir warmUp;
        transferOnce(clip.info, warmUp.path().toStdString(), kMode);
    }

    Timing one, two;
    CpuUse oneCpu, twoCpu;
    double material = 0;

    void run(const BenchClip &clip) {
        QTemporaryDir first, second;
        const CpuUse before = CpuUse::now();
        const Timing single = transferOnce(clip.info, first.path().toStdString(), kMode);
        const CpuUse between = CpuUse::now();
        const Timing both = transferOnce(clip.info, first.path().toStdString(), kMode, true, {second.path()});
        const CpuUse after = CpuUse::now();
        one.seconds += single.seconds;
        two.seconds += both.seconds;
        oneCpu += between - before;
        twoCpu += after - between;
        material += clip.materialSeconds();
    }
};

void BM_SecondCopyMax(benchmark::State &state) {
    qputenv(cardlib::kSimSpeedVariable, "max");
    const BenchClip clip(300);
    Alternating runs(clip);
    for (auto _ : state)
        runs.run(clip);
    // Whole transfers, read-back of each copy included: the second copy's share of the wall time.
    state.counters["one_copy_s"] = runs.one.seconds / double(state.iterations());
    state.counters["two_copies_s"] = runs.two.seconds / double(state.iterations());
    state.counters["two_copies_throughput_ratio"] = runs.one.seconds / runs.two.seconds;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_SecondCopyMax)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SecondCopyRealTimeCpu(benchmark::State &state) {
    qputenv(cardlib::kSimSpeedVariable, "1");
    const BenchClip clip(120);
    Alternating runs(clip);
    for (auto _ : state)
        runs.run(clip);
    state.counters["one_copy_system_cpu_s_per_material_s"] = runs.oneCpu.system() / runs.material;
    state.counters["two_copies_system_cpu_s_per_material_s"] = runs.twoCpu.system() / runs.material;
    state.counters["second_copy_system_cpu_s_per_material_s"] =
        (runs.twoCpu.system() - runs.oneCpu.system()) / runs.material;
    // Time in the kernel of the whole process (the simulated recorder's too, the same in both runs).
    state.counters["second_copy_kernel_cpu_s_per_material_s"] =
        (runs.twoCpu.kernel - runs.oneCpu.kernel) / runs.material;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_SecondCopyRealTimeCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
