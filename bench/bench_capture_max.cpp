// Capture from the simulated recorder through the virtual card, the capture thread, the ring and the
// reading rules: pictures per second at full speed beside the real-time rate, and the CPU time a second
// of material costs at real-time pace (file and preview, as the main window's first mode has it).

#include "bench/TransferRun.h"
#include "platform/cardlib/SimSpeed.h"

#include <benchmark/benchmark.h>

namespace {

using namespace benchsupport;

constexpr int kCaptureMode = QIROSRTransfer::kModeWithPreview;

void BM_CaptureMax(benchmark::State &state) {
    qputenv(cardlib::kSimSpeedVariable, "max");
    const BenchClip clip(300);
    Timing total;
    for (auto _ : state) {
        const Timing one = transferOnce(clip.info, "/tmp", kCaptureMode);
        total.flowSeconds += one.flowSeconds;
        total.pictures += one.pictures;
    }
    const double perSecond = double(total.pictures) / total.flowSeconds;
    state.counters["pictures_per_s"] = perSecond;
    state.counters["realtime_pictures_per_s"] = kRealTimePicturesPerSecond;
    state.counters["realtime_ratio"] = perSecond / kRealTimePicturesPerSecond;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_CaptureMax)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CaptureRealTimeCpu(benchmark::State &state) {
    qputenv(cardlib::kSimSpeedVariable, "1");
    const BenchClip clip(120);
    CpuUse used;
    double material = 0;
    for (auto _ : state) {
        const CpuUse before = CpuUse::now();
        transferOnce(clip.info, "/tmp", kCaptureMode);
        used += CpuUse::now() - before;
        material += clip.materialSeconds();
    }
    state.counters["cpu_s_per_material_s"] = used.process / material;
    state.counters["system_cpu_s_per_material_s"] = used.system() / material;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_CaptureRealTimeCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
