// The conformance check of a finished file against reading the same file's bytes once, both from the page
// cache: the check walks the structure and must not cost a read of the essence. One file of about 1 GB is
// written through the MXF library, with 1080 HQ-sized pictures and 8 sound channels, for both.

#include "conform/Conformance.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "tests/support/ClipSource.h"
#include "tests/support/RandomBytes.h"

#include <QFile>
#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr size_t kConformPictureBytes = 1'875'000;
constexpr int kConformChannels = 8;
constexpr size_t kReadChunk = 1u << 20;
constexpr size_t kFileMegabytes = 1024;

class BenchFile {
public:
    explicit BenchFile(size_t megabytes)
        : path_(std::filesystem::temp_directory_path() /
                ("bench-conform-" + std::to_string(getpid()) + ".mxf")) {
        const int frames = int((megabytes << 20) / (kConformPictureBytes + kConformChannels * 5780));
        auto metadata = boost::make_shared<ClipMetadata>();
        metadata->channels = kConformChannels;
        metadata->frames = frames;
        auto source = boost::make_shared<ClipSource>(metadata);
        auto stream = boost::make_shared<std::ofstream>(path_, std::ios::binary | std::ios::trunc);
        auto driver = createSMDKDriver(source);
        driver->attachWriter(
            boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, createSMDKWriter(stream)));
        const std::vector<uint8_t> picture = randomBytes(kConformPictureBytes, 5), sound(5760, 0x11),
                                   data(36, 0x77);
        const std::vector<std::span<const uint8_t>> channels(kConformChannels, sound);
        for (int i = 0; i < frames; ++i) {
            source->setEditUnit(picture, channels, data, {0x81});
            driver->processFrame();
        }
        driver->finish();
        stream->close();
    }
    ~BenchFile() { std::filesystem::remove(path_); }
    BenchFile(const BenchFile &) = delete;
    BenchFile &operator=(const BenchFile &) = delete;
    QString path() const { return QString::fromStdString(path_.string()); }
    int64_t size() const { return int64_t(std::filesystem::file_size(path_)); }

private:
    std::filesystem::path path_;
};

const BenchFile &benchFile() {
    static const BenchFile file(kFileMegabytes);
    return file;
}

void BM_ConformanceCheck(benchmark::State &state) {
    const BenchFile &file = benchFile();
    for (auto _ : state) {
        const conform::ConformanceResult result = conform::checkFileConformance(file.path(), std::nullopt);
        if (!result.failures.empty())
            state.SkipWithError(result.lines().join("; ").toStdString().c_str());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size());
}
BENCHMARK(BM_ConformanceCheck)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: every byte of the same file read once.
void BM_ReadFileOnce(benchmark::State &state) {
    const BenchFile &file = benchFile();
    std::vector<char> chunk(kReadChunk);
    for (auto _ : state) {
        QFile in(file.path());
        if (!in.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot open the file");
        while (in.read(chunk.data(), qint64(chunk.size())) > 0)
            benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * file.size());
}
BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
