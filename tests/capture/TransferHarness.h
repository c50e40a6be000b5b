#pragma once

// Runs capture objects against the simulated recorder: installs clips, builds the clip record a transfer
// takes, and watches a transfer's signals and frames from the threads that emit them. Every wait has a
// time limit; the watch is synchronised with std primitives only, so ThreadSanitizer sees every handover.

#include "capture/QIROSRTransfer.h"
#include "platform/cardlib/SimSpeed.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/EssenceSource.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/ClipFileInfo.h"
#include "tests/support/Eventually.h"
#include "tests/support/TempManifest.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace transfertest {

inline constexpr auto kTimeLimit = std::chrono::seconds(120);

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
    int drops = 0;
    int percents = 0;
    int lastPercent = -1;
    uint64_t frames = 0;
    uint64_t mismatches = 0;
};

// Counts a transfer's signals and compares every frame the writer reads with the clip's essence.
class TransferWatch {
public:
    // writerDelay slows the writer down by that much for every frame.
    TransferWatch(QIROSRTransfer &transfer, const ManifestClip &clip,
                  std::chrono::microseconds writerDelay = std::chrono::microseconds(0))
        : expected(clip), delay(writerDelay) {
        pictureBytes.resize(expected.pictureBytes());
        QObject::connect(&transfer, &QIROSRTransfer::transferCompleteSignal,
                         [this] { update([](Counts &c) { ++c.completes; }); });
        QObject::connect(&transfer, &QIROSRTransfer::droppedFrameSignal,
                         [this] { update([](Counts &c) { ++c.drops; }); });
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

    template <typename Condition> bool waitUntil(Condition condition) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, kTimeLimit, [&] { return condition(now); });
    }

private:
    template <typename Change> void update(Change change) {
        {
            std::lock_guard guard(lock);
            change(now);
        }
        changed.notify_all();
    }

    // Writer thread: the frame must be the next one, byte for byte.
    void compare(const AssembledFrame &frame) {
        if (delay.count() > 0)
            std::this_thread::sleep_for(delay);
        const uint64_t number = counts().frames;
        bool same = frame.number == number && frame.timeCode == expected.timeCode(number);
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
    }

    EssenceSource expected; // writer thread only, once the transfer runs
    const std::chrono::microseconds delay;
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

    // A started transfer of the recorder's clip `index`, watched.
    std::unique_ptr<QIROSRTransfer> startTransfer(size_t index, std::unique_ptr<TransferWatch> &watch) {
        auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
        EXPECT_TRUE(transfer->boardAcquired());
        const ManifestClip &clip = recorder().manifest().clips.at(index);
        transfer->setTransfer(testsupport::clipFileInfo(clip.record), manifest->filePath("out").toStdString(),
                              0, 0);
        watch = std::make_unique<TransferWatch>(*transfer, clip);
        transfer->start();
        return transfer;
    }

    std::unique_ptr<testsupport::TempManifest> manifest;
};

} // namespace transfertest
