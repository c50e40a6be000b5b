// Test pictures: coding the generated pictures of a 1080-line 4:2:2 HQ clip frame after frame, as the
// simulated recorder plays it out. Items per second are frames per second; the simulator must never
// limit the pipeline, so this should stay far above real time (600 frames per second or more).

#include "platform/srmodule/EssenceSource.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

void BM_TestPictureGenerate(benchmark::State &state) {
    ManifestClip clip;
    clip.record.durationFrames = 100'000;
    clip.record.size = 1;
    clip.record.sampling = 0;
    clip.record.codec = 0;
    EssenceSource source(clip);
    std::vector<uint8_t> picture(source.pictureBytes());
    source.picture(0, picture); // codes the background once
    uint64_t frame = 0;
    for (auto _ : state) {
        source.picture(frame++ % clip.record.durationFrames, picture);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * source.pictureBytes());
}
BENCHMARK(BM_TestPictureGenerate);

} // namespace
