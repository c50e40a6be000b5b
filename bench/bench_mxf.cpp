// MXF writing: 1,000 frames of 1,875,000 bytes with 8 sound channels at 29.97 written to a file through the
// whole path (transfer source, driver, footer rewriter, writer, file stream), against the same essence
// bytes written to a file sequentially. Both count the essence bytes as bytes processed.

#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "source/QIROSRTransferSource.h"
#include "tests/support/RandomBytes.h"

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kMxfFrames = 1000;
constexpr size_t kFrameSize = 1875000;
constexpr uint32_t kMxfChannels = 8;
// One block's worth of sound per channel, enough for any edit unit.
constexpr size_t kSoundBytes = 3 * 2002;

struct Essence {
    std::vector<uint8_t> picture = randomBytes(kFrameSize, 1);
    std::vector<uint8_t> sound = randomBytes(kSoundBytes, 2);
};

std::filesystem::path temporaryFile(const char *name) {
    return std::filesystem::temp_directory_path() /
           (std::string(name) + "-" + std::to_string(getpid()) + ".bin");
}

SRFileInfo benchClip() {
    SRFileInfo clip;
    clip.sourcePath = "bench";
    clip.durationFrames = kMxfFrames;
    clip.interlaced = 1;
    clip.bitDepth = 10;
    clip.codec = 1;
    clip.frameRate = 29.97;
    clip.rateNumerator = 30000;
    clip.rateDenominator = 1001;
    clip.rawTail[kRawTailSoundChannels] = kMxfChannels;
    clip.rawTail[kRawTailFormatLetter] = '1';
    return clip;
}

void BM_MxfWrite(benchmark::State &state) {
    const Essence essence;
    const std::filesystem::path path = temporaryFile("bench-mxf");
    int64_t essenceBytes = 0;
    for (auto _ : state) {
        auto stream = boost::make_shared<std::ofstream>(path, std::ios::binary | std::ios::trunc);
        auto writer = createSMDKWriter(stream);
        auto source = boost::make_shared<QIROSRTransferSource>(IdentificationRecord{}, benchClip());
        source->initialize();
        auto rewriter = boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, writer);
        auto driver = createSMDKDriver(source);
        driver->attachWriter(rewriter);
        essenceBytes = 0;
        for (uint32_t i = 0; i < kMxfFrames; ++i) {
            source->setPictureData(essence.picture.data(), uint32_t(kFrameSize));
            const uint32_t soundBytes = 3u * source->soundSamplesForEditUnit();
            for (uint32_t k = 0; k < kMxfChannels; ++k)
                source->setSoundData(k, essence.sound.data(), soundBytes);
            source->setTimestamp(i);
            source->advance();
            driver->processFrame();
            essenceBytes += int64_t(kFrameSize) + int64_t(soundBytes) * kMxfChannels;
        }
        source->markEnd(kMxfFrames);
        source->advance();
        driver->finish();
        driver.reset();
        rewriter.reset();
        writer.reset();
        stream.reset();
        state.PauseTiming();
        std::filesystem::remove(path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * essenceBytes);
}

void BM_PlainWrite(benchmark::State &state) {
    const Essence essence;
    const std::filesystem::path path = temporaryFile("bench-plain");
    QIROSRTransferSource cadence(IdentificationRecord{}, benchClip());
    cadence.initialize();
    std::vector<uint32_t> soundBytes;
    for (uint32_t i = 0; i < kMxfFrames; ++i) {
        soundBytes.push_back(3u * cadence.soundSamplesForEditUnit());
        cadence.advance();
    }
    int64_t essenceBytes = 0;
    for (auto _ : state) {
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        essenceBytes = 0;
        for (uint32_t i = 0; i < kMxfFrames; ++i) {
            stream.write(reinterpret_cast<const char *>(essence.picture.data()), std::streamsize(kFrameSize));
            for (uint32_t k = 0; k < kMxfChannels; ++k)
                stream.write(reinterpret_cast<const char *>(essence.sound.data()),
                             std::streamsize(soundBytes[i]));
            essenceBytes += int64_t(kFrameSize) + int64_t(soundBytes[i]) * kMxfChannels;
        }
        stream.close();
        state.PauseTiming();
        std::filesystem::remove(path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * essenceBytes);
}

BENCHMARK(BM_MxfWrite)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_PlainWrite)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

} // namespace
