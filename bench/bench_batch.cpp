// A batch of four clips with verification whose written clips are checked while the next clip plays, against
// the same batch checking each clip before the next starts, alternately in the same run: the wall time at
// full speed as times real time, and at the recorder's pace the time each clip adds to its material.

#include "batch/TransferBatch.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/ClipFileInfo.h"
#include "tests/support/CoreApplication.h"
#include "tests/support/TempManifest.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

constexpr int kClips = 4;

// Four 1080 HQ 29.97 clips with eight sound channels and data items on board 0, for the life of the object.
class BenchBatch {
public:
    explicit BenchBatch(int frames) {
        QJsonArray clips;
        for (int k = 0; k < kClips; ++k) {
            QJsonObject clip = testsupport::clipJson(QString("BENCH%1").arg(k + 1), frames);
            clip["dataItems"] = true;
            clips.append(clip);
        }
        manifest = std::make_unique<testsupport::TempManifest>(QJsonObject{{"clips", clips}});
        cardlib::useManifest(manifest->path());
        for (const ManifestClip &clip : cardlib::findBoard(0)->recorder()->manifest().clips) {
            // As the recorder's clip list gives them: valid, interlaced.
            SRFileInfo &info = infos.emplace_back(testsupport::clipFileInfo(clip.record));
            info.fileValid = 1;
            info.interlaced = clip.record.scan == 0 ? 1 : 0;
            info.psf = clip.record.scan == 1 ? 1 : 0;
            material += infos.back().durationFrames / infos.back().frameRate;
        }
    }
    ~BenchBatch() { cardlib::useConfiguredMedia(); }

    std::vector<SRFileInfo> infos;
    double material = 0;

private:
    std::unique_ptr<testsupport::TempManifest> manifest;
};

// The wall time of one whole batch into a new folder; negative, with why in `problem`, when a clip did not
// finish.
double batchSeconds(const BenchBatch &clips, bool checksBeside, std::string &problem) {
    QTemporaryDir destination;
    TransferBatch::Options options;
    options.destination = destination.path();
    options.checksBesideNextClip = checksBeside;
    options.hashList.reset();
    TransferBatch batch(clips.infos, options);
    QEventLoop loop;
    QObject::connect(&batch, &TransferBatch::batchFinished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    batch.start();
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    for (const TransferBatch::Outcome &outcome : batch.outcomes())
        if (!outcome.finished) {
            problem = outcome.reason.toStdString();
            return -1;
        }
    return seconds;
}

struct AlternatingBatches {
    double beside = 0, after = 0;
    std::string problem; // why a clip did not finish

    void run(const BenchBatch &clips) {
        const double checkedAfter = batchSeconds(clips, false, problem);
        const double checkedBeside = batchSeconds(clips, true, problem);
        after += checkedAfter;
        beside += checkedBeside;
    }
};

void BM_BatchMax(benchmark::State &state) {
    testsupport::ensureCoreApplication();
    qputenv(cardlib::kSimSpeedVariable, "max");
    const BenchBatch clips(300);
    AlternatingBatches runs;
    batchSeconds(clips, true, runs.problem); // the first batch of the process takes its buffers: not counted
    for (auto _ : state)
        runs.run(clips);
    if (!runs.problem.empty())
        state.SkipWithError(("a clip of the batch did not finish: " + runs.problem).c_str());
    const double iterations = double(state.iterations());
    state.counters["beside_realtime_ratio"] = clips.material * iterations / runs.beside;
    state.counters["after_realtime_ratio"] = clips.material * iterations / runs.after;
    state.counters["beside_speedup_ratio"] = runs.after / runs.beside;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_BatchMax)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_BatchRealTime(benchmark::State &state) {
    testsupport::ensureCoreApplication();
    qputenv(cardlib::kSimSpeedVariable, "1");
    const BenchBatch clips(60);
    AlternatingBatches runs;
    for (auto _ : state)
        runs.run(clips);
    if (!runs.problem.empty())
        state.SkipWithError(("a clip of the batch did not finish: " + runs.problem).c_str());
    const double iterations = double(state.iterations());
    // What each clip adds to its material's duration: cueing, and with the checks after it, its read-back.
    state.counters["beside_added_s_per_clip"] = (runs.beside / iterations - clips.material) / kClips;
    state.counters["after_added_s_per_clip"] = (runs.after / iterations - clips.material) / kClips;
    state.counters["beside_of_material_ratio"] = runs.beside / iterations / clips.material;
    qunsetenv(cardlib::kSimSpeedVariable);
}
BENCHMARK(BM_BatchRealTime)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
