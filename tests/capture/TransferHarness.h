#pragma once

// Runs capture objects against the simulated recorder: installs clips, builds the clip record a transfer
// takes, and watches a transfer's signals and frames from the threads that emit them. Every wait has a
// time limit; the watch is synchronised with std primitives only, so ThreadSanitizer sees every handover.

#include "capture/QIROSRTransfer.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/EssenceSizes.h"
#include "platform/srmodule/EssenceSource.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "recorder/Timecode.h"
#include "tests/support/ClipFileInfo.h"
#include "tests/support/Eventually.h"
#include "tests/support/TempManifest.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>

namespace transfertest {

inline constexpr auto kTimeLimit = std::chrono::seconds(120);
// The stall limit of a test's transfer: a sanitizer build on a busy machine may well take longer than the
// product's few seconds to start a play-out, and only the stall tests are about stalls.
inline constexpr auto kTestStallLimit = std::chrono::milliseconds(30'000);

// A clip of the manifest: the test keys' defaults, then the given keys.
inline QJsonObject clip(const QString &name, int frames, int codec, int channels, bool data,
                        const QJsonObject &extra = {}) {
    QJsonObject object = testsupport::clipJson(name, frames);
    object["codec"] = codec;
    object["soundChannels"] = channels;
    object["dataItems"] = data;
    for (auto it = extra.begin(); it != extra.end(); ++it)
        object[it.key()] = it.value();
    return object;
}

inline SimulatedRecorder &recorder() {
    return *cardlib::findBoard(0)->recorder();
}

using testsupport::eventually;

// True when nobody holds board 0 and its ring DMA is not running.
inline bool boardReleased() {
    CWyrnCard other;
    if (!other.Open(0) || !other.AcquireStreamForApplication(card::applicationCode('T', 'E', 'S', 'T'), 1))
        return false;
    other.ReleaseStreamForApplication(card::applicationCode('T', 'E', 'S', 'T'), 1);
    AUTOCIRCULATE_STATUS_STRUCT status;
    cardlib::findBoard(0)->ringDma().status(QIROSRTransfer::kCrosspoint, status);
    return status.state != card::kAutoCirculateRunning;
}

struct Counts {
    int completes = 0;
    int writtens = 0; // transferWrittenSignal
    int drops = 0;
    int percents = 0;
    int lastPercent = -1;
    uint64_t frames = 0;
    uint64_t mismatches = 0;
    int failures = 0;        // transferFailedSignal or openFileErrorSignal
    std::string lastFailure; // the reason or file of the last of them
};

// The time code of frame `number` of the clip, counted on from its start time code with the recorder's
// time code maths rather than the play-out's own generator: BCD hours, minutes, seconds, frames.
inline uint32_t clipTimeCode(const ClipRecord &clip, uint64_t number) {
    const EditRate rate = clipEditRate(clip);
    const uint32_t fps = (rate.numerator + rate.denominator / 2) / rate.denominator;
    const bool drop = clip.dropFrame != 0;
    const ClipTimecode &start = clip.startTimecode;
    const Timecode code = framesToTimecode(
        timecodeToFrames(fps, drop, start.hours, start.minutes, start.seconds, start.frames) + number, fps,
        drop);
    uint32_t packed = 0;
    for (const uint32_t field : {code.hours, code.minutes, code.seconds, code.frames})
        packed = packed << 8 | (field / 10) << 4 | field % 10;
    return packed;
}

// Counts a transfer's signals and compares every frame the writer reads with the clip's essence. `then`,
// when set, runs on the writer thread after each frame is compared.
class TransferWatch {
public:
    TransferWatch(QIROSRTransfer &transfer, const ManifestClip &clip, QIROSRTransfer::FrameObserver then = {})
        : expected(clip), then(std::move(then)) {
        pictureBytes.resize(expected.pictureBytes());
        QObject::connect(&transfer, &QIROSRTransfer::transferCompleteSignal,
                         [this] { update([](Counts &c) { ++c.completes; }); });
        QObject::connect(&transfer, &QIROSRTransfer::transferWrittenSignal,
                         [this] { update([](Counts &c) { ++c.writtens; }); });
        QObject::connect(&transfer, &QIROSRTransfer::droppedFrameSignal,
                         [this] { update([](Counts &c) { ++c.drops; }); });
        QObject::connect(&transfer, &QIROSRTransfer::transferFailedSignal,
                         [this](const QString &reason) { fail(reason.toStdString()); });
        QObject::connect(&transfer, &QIROSRTransfer::openFileErrorSignal,
                         [this](const QString &file) { fail("cannot open " + file.toStdString()); });
        QObject::connect(&transfer, &QIROSRTransfer::percentTransferCompleteSignal, [this](int percent) {
            update([percent](Counts &c) {
                ++c.percents;
                c.lastPercent = percent;
            });
        });
        transfer.setFrameObserver([this](const AssembledFrame &frame) { compare(frame); });
    }

    Counts counts() {
        std::lock_guard guard(lock);
        return now;
    }

    // Waits until the condition holds, or a failure ends the transfer; true when the condition holds.
    template <typename Condition> bool waitUntil(Condition condition) {
        std::unique_lock guard(lock);
        changed.wait_for(guard, kTimeLimit, [&] { return condition(now) || now.failures > 0; });
        return condition(now);
    }

private:
    void fail(const std::string &why) {
        update([&why](Counts &c) {
            ++c.failures;
            c.lastFailure = why;
        });
    }

    template <typename Change> void update(Change change) {
        {
            std::lock_guard guard(lock);
            change(now);
        }
        changed.notify_all();
    }

    // Writer thread: the frame must be the next one, byte for byte.
    void compare(const AssembledFrame &frame) {
        const uint64_t number = counts().frames;
        bool same = frame.number == number && frame.timeCode == clipTimeCode(expected.record(), number);
        expected.picture(number, pictureBytes);
        same = same && std::ranges::equal(frame.picture, pictureBytes);
        for (uint32_t k = 0; k < expected.soundChannels(); ++k) {
            sound.clear();
            expected.sound(k, number, 1, sound);
            same = same && std::ranges::equal(frame.sound[k], sound);
        }
        const std::vector<uint8_t> item =
            expected.hasDataItems() ? expected.dataItem(number) : std::vector<uint8_t>{};
        same = same && std::ranges::equal(frame.dataItem, item);
        update([same](Counts &c) {
            ++c.frames;
            c.mismatches += same ? 0 : 1;
        });
        if (then)
            then(frame);
    }

    EssenceSource expected; // writer thread only, once the transfer runs
    const QIROSRTransfer::FrameObserver then;
    std::vector<uint8_t> pictureBytes;
    std::vector<uint8_t> sound;
    std::mutex lock;
    std::condition_variable changed;
    Counts now;
};

// Every test runs at full speed on its own manifest, and leaves the default media behind.
class TransferTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv(cardlib::kSimSpeedVariable, "max"); }
    void TearDown() override {
        qunsetenv(cardlib::kSimSpeedVariable);
        cardlib::useConfiguredMedia();
    }

    void install(const QJsonArray &clips) {
        manifest = std::make_unique<testsupport::TempManifest>(QJsonObject{{"clips", clips}});
        cardlib::useManifest(manifest->path());
    }

    // A started transfer of the recorder's clip `index`, watched; `then` as the watch's.
    std::unique_ptr<QIROSRTransfer> startTransfer(size_t index, std::unique_ptr<TransferWatch> &watch,
                                                  QIROSRTransfer::FrameObserver then = {},
                                                  std::chrono::milliseconds stallLimit = kTestStallLimit) {
        auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
        EXPECT_TRUE(transfer->boardAcquired());
        const ManifestClip &clip = recorder().manifest().clips.at(index);
        transfer->setTransfer(testsupport::clipFileInfo(clip.record), manifest->filePath("out").toStdString(),
                              0, 0);
        transfer->setStallLimit(stallLimit);
        transfer->setCueLimit(stallLimit);
        watch = std::make_unique<TransferWatch>(*transfer, clip, std::move(then));
        transfer->start();
        return transfer;
    }

    std::unique_ptr<testsupport::TempManifest> manifest;
};

} // namespace transfertest
