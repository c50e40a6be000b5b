// Capture from the simulated recorder through the virtual card, the capture thread, the ring and the
// reading rules: pictures per second at full speed beside the real-time rate, and the CPU time a second
// of material costs at real-time pace.

#include "capture/QIROSRTransfer.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/ClipFileInfo.h"
#include "tests/support/TempManifest.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>

namespace {

constexpr double kRealTimePicturesPerSecond = 30000.0 / 1001.0;

// One HQ clip with eight sound channels and data items on board 0, for the life of the object.
class BenchClip {
public:
    explicit BenchClip(int frames) {
        QJsonObject clip = testsupport::clipJson("BENCH", frames);
        clip["dataItems"] = true;
        manifest = std::make_unique<testsupport::TempManifest>(QJsonObject{{"clips", QJsonArray{clip}}});
        cardlib::useManifest(manifest->path());
        info = testsupport::clipFileInfo(cardlib::findBoard(0)->recorder()->manifest().clips.at(0).record);
    }
    ~BenchClip() { cardlib::useConfiguredMedia(); }

    SRFileInfo info;

private:
    std::unique_ptr<testsupport::TempManifest> manifest;
};

struct Timing {
    double seconds = 0;    // from the first frame read to the transfer's end
    uint64_t pictures = 0; // pictures captured in that time
};

// Runs one whole transfer and times the stretch in which frames flow.
Timing transferOnce(const SRFileInfo &info) {
    QIROSRTransfer transfer(0, 0);
    transfer.setTransfer(info, "/tmp", 0, 0);
    std::mutex lock;
    std::condition_variable changed;
    bool complete = false;
    std::chrono::steady_clock::time_point first;
    uint64_t picturesAtFirst = 0;
    transfer.setFrameObserver([&](const AssembledFrame &frame) {
        if (frame.number == 0) {
            first = std::chrono::steady_clock::now();
            picturesAtFirst = transfer.picturesCaptured();
        }
    });
    QObject::connect(&transfer, &QIROSRTransfer::transferCompleteSignal, [&] {
        std::lock_guard guard(lock);
        complete = true;
        changed.notify_all();
    });
    transfer.start();
    {
        std::unique_lock guard(lock);
        changed.wait_for(guard, std::chrono::minutes(5), [&] { return complete; });
    }
    const auto end = std::chrono::steady_clock::now();
    transfer.wait();
    return {std::chrono::duration<double>(end - first).count(),
            transfer.picturesCaptured() - picturesAtFirst};
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_CaptureMax(benchmark::State &state) {
    qputenv(cardlib::kSimSpeedVariable, "max");
    const BenchClip clip(300);
    Timing total;
    for (auto _ : state) {
        const Timing one = transferOnce(clip.info);
        total.seconds += one.seconds;
        total.pictures += one.pictures;
    }
    const double perSecond = double(total.pictures) / total.seconds;
    state.counters["pictures_per_s"] = perSecond;
    state.counters["realtime_pictures_per_s"] = kRealTimePicturesPerSecond;
    state.counters["realtime_ratio"] = perSecond / kRealTimePicturesPerSecond;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_CaptureMax)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CaptureRealTimeCpu(benchmark::State &state) {
    qputenv(cardlib::kSimSpeedVariable, "1");
    const BenchClip clip(120);
    double cpu = 0;
    double material = 0;
    for (auto _ : state) {
        const double before = cpuSeconds();
        transferOnce(clip.info);
        cpu += cpuSeconds() - before;
        material += clip.info.durationFrames / clip.info.frameRate;
    }
    state.counters["cpu_s_per_material_s"] = cpu / material;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_CaptureRealTimeCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
