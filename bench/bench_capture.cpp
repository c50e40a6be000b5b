// Capture engine: de-embedding a payload block from a pair of pictures, the first-block check and the
// frame index parse, against a plain copy of one payload block.

#include "capture/FrameIndex.h"
#include "capture/PayloadExtraction.h"
#include "capture/PayloadFormat.h"
#include "platform/srmodule/BlockWriter.h"
#include "tests/support/RandomBytes.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

void BM_Memcpy(benchmark::State &state) {
    const std::vector<uint8_t> source = randomBytes(payload::kBlockSize, 1);
    std::vector<uint8_t> destination(payload::kBlockSize);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * payload::kBlockSize);
}
BENCHMARK(BM_Memcpy);

void extractPayload(benchmark::State &state, bool eightBit) {
    const std::vector<uint8_t> pictures = randomBytes(payload::picturePairBytes(eightBit), 1);
    std::vector<uint8_t> block(payload::kBlockSize);
    for (auto _ : state) {
        ExtractPayload(block.data(), pictures.data(), pictures.data() + payload::lineBytes(eightBit),
                       eightBit);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * payload::kBlockSize);
}
void BM_ExtractPayload8Bit(benchmark::State &state) {
    extractPayload(state, true);
}
void BM_ExtractPayload10Bit(benchmark::State &state) {
    extractPayload(state, false);
}
BENCHMARK(BM_ExtractPayload8Bit);
BENCHMARK(BM_ExtractPayload10Bit);

void BM_IsValidFrame(benchmark::State &state) {
    const std::vector<uint8_t> picture = randomBytes(payload::kPictureBytes8Bit, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(IsValidFrame(picture.data(), true));
    state.SetBytesProcessed(int64_t(state.iterations()) * payload::kRowBytes);
}
BENCHMARK(BM_IsValidFrame);

// A block as the recorder sends it at quality 0: sixteen sound channels, data, then a region beginning
// with the continuation of a frame and ending in a cut one. The pictures hold one byte value over and
// over, or random bytes, as coded pictures do, in which the key's first byte comes every 256 bytes.
std::vector<uint8_t> typicalBlock(bool randomPictures) {
    constexpr uint32_t kFrameBytes = 1'875'000;
    const std::vector<uint8_t> picture =
        randomPictures ? randomBytes(kFrameBytes, 1) : std::vector<uint8_t>(kFrameBytes, 0x5A);
    BlockWriter writer(0, 18);
    for (uint32_t channel = 0; channel < payload::kSoundChannels; ++channel)
        writer.addSound(channel, 4004, std::vector<uint8_t>(3 * 4004, uint8_t(channel)));
    writer.addData(std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(100, 1)), 128);
    writer.beginPictureRegion(true);
    writer.addContinuation(std::span(picture).first(900'000));
    for (uint32_t frame = 0; frame < 3; ++frame)
        writer.addPicture(frame, picture);
    writer.addCutPicture(3, picture);
    writer.endPictureRegion();
    return writer.finish();
}

void parseFrameIndex(benchmark::State &state, bool randomPictures) {
    const std::vector<uint8_t> block = typicalBlock(randomPictures);
    std::unique_ptr<FrameIndex> record;
    for (auto _ : state) {
        record = ParseFrameIndex(block.data(), payload::kBlockSize, std::move(record), 0);
        benchmark::DoNotOptimize(record.get());
    }
    if (!record || record->pictureCount != 5)
        state.SkipWithError("the typical block did not parse into five picture elements");
    state.SetBytesProcessed(int64_t(state.iterations()) * payload::kBlockSize);
}
void BM_ParseFrameIndex(benchmark::State &state) {
    parseFrameIndex(state, false);
}
void BM_ParseFrameIndexRandomPictures(benchmark::State &state) {
    parseFrameIndex(state, true);
}
BENCHMARK(BM_ParseFrameIndex);
BENCHMARK(BM_ParseFrameIndexRandomPictures);

} // namespace
