#pragma once

// Whole transfers from the simulated recorder for the benchmarks: a clip on board 0, one transfer run to
// its end, and the CPU time the process and its named threads used meanwhile.

#include "capture/QIROSRTransfer.h"
#include "capture/WriteMXFFileThread.h"
#include "card/CWyrnSerialPort.h"
#include "delivery/CopyDelivery.h"
#include "mxf/FileOutputStream.h"
#include "platform/cardlib/RingDma.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/ClipFileInfo.h"
#include "tests/support/TempManifest.h"
#include "threads/ThreadName.h"

#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <string>
#include <sys/resource.h>

namespace benchsupport {

inline constexpr double kRealTimePicturesPerSecond = 30000.0 / 1001.0;

// One 1080 HQ 29.97 clip with eight sound channels and data items on board 0, for the life of the object.
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

    double materialSeconds() const { return info.durationFrames / info.frameRate; }

    SRFileInfo info;

private:
    std::unique_ptr<testsupport::TempManifest> manifest;
};

struct Timing {
    double seconds = 0;     // from start() to the transfer's end
    double flowSeconds = 0; // from the first frame read to the transfer's end
    uint64_t pictures = 0;  // pictures captured from the first frame read on
    bool completed = false; // transferCompleteSignal came
    std::string ending;     // how the transfer ended, when it did not complete
};

// Runs one whole transfer of clip into destination (written in mode, the finished file read back and
// compared when verification is on), and to each further destination from the same play-out, and times it.
inline Timing transferOnce(const SRFileInfo &clip, const std::string &destination, int mode,
                           bool verification = true, const QStringList &furtherDestinations = {}) {
    QIROSRTransfer transfer(0, 0);
    transfer.setTransfer(clip, destination, mode, 0);
    transfer.setVerification(verification);
    std::vector<OutputPath> further;
    for (const QString &folder : furtherDestinations)
        further.push_back(*outputPathFor(folder, clip.secondName, clip.fileName));
    transfer.setFurtherOutputPaths(std::move(further));
    std::mutex lock;
    std::condition_variable changed;
    bool ended = false;
    std::string ending = "no report";
    std::chrono::steady_clock::time_point first;
    uint64_t picturesAtFirst = 0;
    transfer.setFrameObserver([&](const AssembledFrame &frame) {
        if (frame.number == 0) {
            first = std::chrono::steady_clock::now();
            picturesAtFirst = transfer.picturesCaptured();
        }
    });
    const auto end = [&](const QString &how) {
        std::lock_guard guard(lock);
        ended = true;
        ending = how.toStdString();
        changed.notify_all();
    };
    QObject::connect(&transfer, &QIROSRTransfer::transferCompleteSignal, [&] { end({}); });
    QObject::connect(&transfer, &QIROSRTransfer::droppedFrameSignal, [&] { end("a dropped frame"); });
    QObject::connect(&transfer, &QIROSRTransfer::transferFailedSignal, [&](const QString &why) { end(why); });
    QObject::connect(&transfer, &QIROSRTransfer::openFileErrorSignal,
                     [&](const QString &file) { end("cannot open " + file); });
    const auto started = std::chrono::steady_clock::now();
    transfer.start();
    {
        std::unique_lock guard(lock);
        changed.wait_for(guard, std::chrono::minutes(5), [&] { return ended; });
    }
    const auto finished = std::chrono::steady_clock::now();
    transfer.wait();
    return {std::chrono::duration<double>(finished - started).count(),
            std::chrono::duration<double>(finished - first).count(),
            transfer.picturesCaptured() - picturesAtFirst, ending.empty(), ending};
}

inline double kernelSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_stime.tv_sec) + double(use.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of the whole process, and of the ended threads of the system (capture, writer, the output
// stream's file thread, UART reader) and of the simulated card's feeder, which plays the recorder's output.
struct CpuUse {
    double process = 0;
    double capture = 0;
    double writer = 0;
    double uart = 0;
    double feeder = 0;
    double fileIo = 0;
    double copyChecks = 0;
    double kernel = 0; // of the whole process: time in the kernel (reads, writes, syncs)

    static CpuUse now() {
        timespec process{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &process);
        return {double(process.tv_sec) + double(process.tv_nsec) / 1e9,
                endedThreadCpuSeconds(QIROSRTransfer::kCaptureThreadName),
                endedThreadCpuSeconds(WriteMXFFileThread::kThreadName),
                endedThreadCpuSeconds(CWyrnSerialPortReadThread::kThreadName),
                endedThreadCpuSeconds(cardlib::RingDma::kFeederThreadName),
                endedThreadCpuSeconds(FileOutputBuffer::kThreadName),
                endedThreadCpuSeconds(kCopyCheckThreadName),
                kernelSeconds()};
    }
    double system() const { return capture + writer + uart + fileIo + copyChecks; }
    CpuUse operator-(const CpuUse &before) const {
        return {process - before.process,       capture - before.capture,
                writer - before.writer,         uart - before.uart,
                feeder - before.feeder,         fileIo - before.fileIo,
                copyChecks - before.copyChecks, kernel - before.kernel};
    }
    CpuUse &operator+=(const CpuUse &more) {
        process += more.process;
        capture += more.capture;
        writer += more.writer;
        uart += more.uart;
        feeder += more.feeder;
        fileIo += more.fileIo;
        copyChecks += more.copyChecks;
        kernel += more.kernel;
        return *this;
    }
};

} // namespace benchsupport
