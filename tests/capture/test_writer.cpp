// The writer routine: what it hands the transfer source and in which order, what each mode writes, and the
// one report that ends a transfer whatever goes wrong: an output file that cannot be opened, a play-out that
// stalls, a failure inside the MXF library, a writer too slow for the capture; and which modes preview.

#include "delivery/DeliveryLane.h"
#include "mxf/Assertion.h"
#include "mxf/FileOutputStream.h"
#include "source/QIROSRTransferSource.h"
#include "tests/capture/TransferHarness.h"
#include "tests/support/CoreApplication.h"
#include "tests/support/Eventually.h"
#include "tests/support/Mpeg4Pictures.h"
#include "tests/support/MxfFileReader.h"
#include "tests/support/PageCache.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <fcntl.h>
#include <functional>
#include <thread>

using namespace transfertest;

namespace {

constexpr auto kTransferEndsWithin = std::chrono::seconds(30);

// A transfer source that notes every call of the writer, and can fail at a chosen frame.
class RecordingSource : public QIROSRTransferSource {
public:
    RecordingSource(const IdentificationRecord &identification, const SRFileInfo &info, int failAtFrame)
        : QIROSRTransferSource(identification, info), failAt(failAtFrame) {}

    void setPictureData(const uint8_t *data, uint32_t size) override {
        if (pictures++ == failAt)
            throw util::assertion_failure("a test failure");
        note("picture");
        if (pictures - 1 == alterPictureOf)
            data = altered(data, size);
        QIROSRTransferSource::setPictureData(data, size);
    }
    uint16_t soundSamplesForEditUnit() override {
        note("samples");
        return QIROSRTransferSource::soundSamplesForEditUnit();
    }
    void setSoundData(uint32_t channel, const uint8_t *data, uint32_t size) override {
        note("sound" + std::to_string(channel));
        if (pictures - 1 == alterSoundOf && channel == 1)
            data = altered(data, size);
        QIROSRTransferSource::setSoundData(channel, data, size);
    }
    void setTimestamp(uint64_t value) override {
        note("timestamp");
        QIROSRTransferSource::setTimestamp(value);
    }
    void setDataItem(const uint8_t *data, uint32_t size) override {
        note(size > 0 ? "data" : "no data");
        QIROSRTransferSource::setDataItem(data, size);
    }
    bool advance() override {
        note("advance");
        return QIROSRTransferSource::advance();
    }
    void markEnd(uint32_t count) override {
        note("end " + std::to_string(count));
        QIROSRTransferSource::markEnd(count);
        if (atEnd)
            atEnd();
    }

    // A fault between the capture and the file: this frame's picture, or its second sound channel, reaches
    // the library with one byte changed.
    int alterPictureOf = -1;
    int alterSoundOf = -1;
    // Called on the writer thread once the last frame is in, before the file is checked.
    std::function<void()> atEnd;

    std::vector<std::string> calls() {
        std::lock_guard guard(lock);
        return log;
    }

private:
    void note(const std::string &call) {
        std::lock_guard guard(lock);
        log.push_back(call);
    }

    const uint8_t *altered(const uint8_t *data, uint32_t size) {
        alteredBytes.assign(data, data + size);
        alteredBytes.at(size / 2) ^= 0x20;
        return alteredBytes.data();
    }

    const int failAt;
    int pictures = 0;
    std::vector<uint8_t> alteredBytes;
    std::mutex lock;
    std::vector<std::string> log;
};

struct Reports {
    std::atomic<int> openErrors{0};
    std::atomic<int> failures{0};
    std::mutex lock;
    QString lastReason;
};

class WriterTest : public TransferTest {
protected:
    // A transfer of clip 0 in `mode`, watched, its source recorded (failing at frame failAt, if any).
    std::unique_ptr<QIROSRTransfer> start(int mode, const std::string &destination, int failAt = -1,
                                          std::chrono::microseconds writerDelay = {},
                                          std::chrono::milliseconds stallLimit = kTestStallLimit,
                                          std::chrono::milliseconds cueLimit = kTestStallLimit) {
        auto transfer = std::make_unique<QIROSRTransfer>(0, 0);
        EXPECT_TRUE(transfer->boardAcquired());
        const ManifestClip &clip = recorder().manifest().clips.at(0);
        transfer->setTransfer(testsupport::clipFileInfo(clip.record), destination, mode, 0);
        transfer->setStallLimit(stallLimit);
        transfer->setCueLimit(cueLimit);
        transfer->setSourceFactory([this, failAt](const IdentificationRecord &id, const SRFileInfo &info) {
            source = boost::make_shared<RecordingSource>(id, info, failAt);
            source->alterPictureOf = alterPictureOf;
            source->alterSoundOf = alterSoundOf;
            source->atEnd = atSourceEnd;
            return source;
        });
        QIROSRTransfer::FrameObserver slowDown;
        if (writerDelay.count() > 0)
            slowDown = [writerDelay](const AssembledFrame &) { std::this_thread::sleep_for(writerDelay); };
        watch = std::make_unique<TransferWatch>(*transfer, clip, slowDown);
        QObject::connect(transfer.get(), &QIROSRTransfer::openFileErrorSignal,
                         [this](const QString &) { ++reports.openErrors; });
        QObject::connect(transfer.get(), &QIROSRTransfer::transferFailedSignal,
                         [this](const QString &reason) {
                             std::lock_guard guard(reports.lock);
                             reports.lastReason = reason;
                             ++reports.failures;
                         });
        // Connected before the threads start, which then see the connection made.
        if (connectBeforeStart)
            connectBeforeStart(*transfer);
        transfer->start();
        return transfer;
    }

    std::string outDir() { return manifest->filePath("out").toStdString(); }
    std::string fileOf(const QIROSRTransfer &transfer) { return transfer.outputPath()->file.toStdString(); }
    std::string partOf(const QIROSRTransfer &transfer) {
        return transfer.outputPath()->partFile.toStdString();
    }
    QString lastReason() {
        std::lock_guard guard(reports.lock);
        return reports.lastReason;
    }

    boost::shared_ptr<RecordingSource> source;
    int alterPictureOf = -1;
    int alterSoundOf = -1;
    std::function<void()> atSourceEnd;
    std::unique_ptr<TransferWatch> watch;
    Reports reports;
    std::function<void(QIROSRTransfer &)> connectBeforeStart;
};

// The partition status byte of a closed and complete header.
constexpr uint8_t kClosedComplete = 0x04;

uint8_t headerStatus(const std::string &path) {
    const std::vector<uint8_t> file = mxftest::readFile(path);
    const auto items = mxftest::splitKlv(file);
    if (!items || items->empty())
        return 0;
    const auto pack = mxftest::decodePartitionPack(file, items->front());
    return pack ? pack->status : 0;
}

QJsonObject reportOf(const std::string &mxfFile) {
    QFile file(QString::fromStdString(mxfFile).replace(".mxf", ".json"));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

} // namespace

TEST_F(WriterTest, AFinishedFileIsWrittenAndReadBackWithoutLeavingItInThePageCache) {
    install(QJsonArray{clip("CLIP1", 30, 0, 8, true)});
    for (const bool direct : {true, false}) {
        // A descriptor handed in is written buffered, as where the file system refuses direct I/O.
        if (!direct)
            connectBeforeStart = [](QIROSRTransfer &transfer) {
                transfer.setOutputOpener([](const QString &partFile) {
                    return openForWriting(QFile::encodeName(partFile).constData());
                });
            };
        auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
        ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
            << watch->counts().lastFailure;
        ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
        const QJsonObject report = reportOf(fileOf(*transfer));
        const QString way = direct ? "direct" : "buffered";
        EXPECT_EQ(report["io"].toString(), way);
        EXPECT_EQ(report["readBack"].toString(), way);
        // Written, synced, read back and hashed, and still (almost) none of it in the page cache.
        const double resident = testsupport::residentShare(fileOf(*transfer));
        EXPECT_GE(resident, 0);
        EXPECT_LE(resident, 0.02) << way.toStdString();
    }
}

TEST_F(WriterTest, EachFrameReachesTheSourceInOrderAndOnlyACompleteClipIsFinished) {
    install(QJsonArray{clip("CLIP1", 3, 1, 2, true)});
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    const std::vector<std::string> frame{"picture",   "samples", "sound0", "sound1",
                                         "timestamp", "data",    "advance"};
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), frame.begin(), frame.end());
    expected.insert(expected.end(), {"end 3", "advance"});
    EXPECT_EQ(source->calls(), expected);
    EXPECT_EQ(watch->counts().mismatches, 0u);
    EXPECT_EQ(headerStatus(fileOf(*transfer)), kClosedComplete);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(partOf(*transfer)))) << "renamed to its final name";
    EXPECT_EQ(reports.failures.load(), 0);
}

TEST_F(WriterTest, PreviewOnlyMakesNoEditUnitNoFileAndNoFolder) {
    install(QJsonArray{clip("CLIP1", 4, 0, 2, false)});
    auto transfer = start(QIROSRTransfer::kModePreviewOnly, outDir());
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    EXPECT_EQ(source, nullptr) << "no source, no edit unit";
    EXPECT_EQ(watch->counts().frames, 4u);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(outDir()))) << "no folder, no file";
}

TEST_F(WriterTest, AnOutputFileThatCannotBeOpenedIsTheTransfersOnlyReport) {
    install(QJsonArray{clip("CLIP1", 4, 0, 0, false)});
    const QString blocker = manifest->filePath("a-file");
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, blocker.toStdString());
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin))) << "the transfer ends by itself";
    EXPECT_EQ(reports.openErrors.load(), 1);
    EXPECT_EQ(reports.failures.load(), 0);
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_EQ(source, nullptr) << "nothing was handed the failed stream";
}

TEST_F(WriterTest, AFailureInsideTheMXFLibraryEndsTheTransferWithItsReasonAndNoFinishedFile) {
    install(QJsonArray{clip("CLIP1", 12, 2, 2, false)});
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir(), 5);
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    EXPECT_EQ(reports.failures.load(), 1);
    EXPECT_TRUE(lastReason().contains("assertion failure: a test failure")) << lastReason().toStdString();
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(fileOf(*transfer)))) << "nothing under the final name";
    EXPECT_NE(headerStatus(partOf(*transfer)), kClosedComplete);
}

TEST_F(WriterTest, AFullDiskFailsTheClipRemovesItsInProgressFileAndLeavesTheFinishedOneAlone) {
    install(QJsonArray{clip("CLIP1", 6, 2, 2, true)});
    auto finished = start(QIROSRTransfer::kModeWithoutPreview, outDir());
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }));
    ASSERT_TRUE(finished->wait(QDeadlineTimer(kTransferEndsWithin)));
    const std::vector<uint8_t> before = mxftest::readFile(fileOf(*finished));
    finished.reset();

    // The same clip again, onto a device that has no room: the in-progress file is made, every write fails.
    connectBeforeStart = [](QIROSRTransfer &transfer) {
        transfer.setOutputOpener([](const QString &partFile) {
            QFile(partFile).open(QIODevice::WriteOnly);
            return ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        });
    };
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    EXPECT_EQ(reports.failures.load(), 1);
    EXPECT_TRUE(lastReason().startsWith("disk full: no space left for " +
                                        QString::fromStdString(fileOf(*transfer)) + " after "))
        << lastReason().toStdString();
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(partOf(*transfer))));
    EXPECT_TRUE(mxftest::readFile(fileOf(*transfer)) == before) << "the finished file is untouched";
}

TEST_F(WriterTest, AFileThatDiffersFromWhatWasCapturedFailsVerificationAndKeepsItsInProgressName) {
    install(QJsonArray{clip("CLIP1", 6, 2, 2, true)});
    for (const bool picture : {true, false}) {
        alterPictureOf = picture ? 4 : -1;
        alterSoundOf = picture ? -1 : 2;
        auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
        ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
        EXPECT_EQ(watch->counts().completes, 0);
        const QString expected = picture ? "frame 4 differs: picture" : "frame 2 differs: sound channel 2";
        EXPECT_TRUE(lastReason().contains("verification failed: " + expected)) << lastReason().toStdString();
        EXPECT_FALSE(QFile::exists(QString::fromStdString(fileOf(*transfer))));
        EXPECT_EQ(headerStatus(partOf(*transfer)), kClosedComplete) << "finished, but kept aside";
    }
}

// Copies to several destinations from one play-out: each copy that can be finished is, byte for byte the
// same, and each one that fails (a full disk, a folder that vanished mid-clip) fails alone, leaving nothing
// under its final name and nothing anywhere else; every report names the other copies and how they ended.
TEST_F(WriterTest, CopiesFromOnePlayOutAreTheSameAndEachFailsAlone) {
    install(QJsonArray{clip("CLIP1", 6, 2, 2, true)});
    const SRFileInfo info = testsupport::clipFileInfo(recorder().manifest().clips.at(0).record);
    const auto pathIn = [&](const QString &folder) {
        return *outputPathFor(manifest->filePath(folder), info.secondName, info.fileName);
    };
    const OutputPath second = pathIn("second"), full = pathIn("full"), vanishing = pathIn("vanishing");
    connectBeforeStart = [&](QIROSRTransfer &transfer) {
        transfer.setFurtherOutputPaths({second, full, vanishing});
        transfer.setOutputOpener([&full](const QString &partFile) {
            return partFile == full.partFile ? ::open("/dev/full", O_WRONLY | O_CLOEXEC)
                                             : openForWriting(QFile::encodeName(partFile).constData());
        });
    };
    atSourceEnd = [&] { QDir(manifest->filePath("vanishing")).removeRecursively(); };
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << lastReason().toStdString();
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));

    const std::vector<DeliveredCopy> copies = transfer->copyOutcomes();
    ASSERT_EQ(copies.size(), 4u);
    EXPECT_TRUE(copies[0].committed && copies[1].committed);
    EXPECT_EQ(copies[0].digests.sha256, copies[1].digests.sha256);
    EXPECT_TRUE(mxftest::readFile(fileOf(*transfer)) == mxftest::readFile(second.file.toStdString()));
    EXPECT_FALSE(copies[2].committed);
    EXPECT_TRUE(copies[2].problem.startsWith("disk full: no space left for " + full.file))
        << copies[2].problem.toStdString();
    EXPECT_FALSE(copies[3].committed);
    EXPECT_TRUE(copies[3].problem.contains("No such file or directory")) << copies[3].problem.toStdString();
    EXPECT_FALSE(QFileInfo::exists(manifest->filePath("vanishing"))) << "nothing written where it vanished";
    EXPECT_EQ(QFileInfo(QString::fromStdString(fileOf(*transfer))).dir().entryList(QDir::Files).size(), 3)
        << "the file, its report and its SHA-256 file: nothing of another copy";

    const QJsonObject report = reportOf(second.file.toStdString());
    QStringList others, replications;
    for (const QJsonValue &other : report["otherCopies"].toArray())
        others << other["file"].toString() + " " + other["outcome"].toString();
    EXPECT_EQ(others, (QStringList{QString::fromStdString(fileOf(*transfer)) + " finished",
                                   full.file + " failed", vanishing.file + " failed"}));
    for (const QJsonValue &event : report["events"].toArray())
        if (event["type"].toString() == "replication")
            replications << event["outcome"].toString();
    EXPECT_EQ(replications, (QStringList{"success", "failure", "failure"}));
}

TEST_F(WriterTest, AStopWhileAFinishedFileIsCheckedGivesTheChecksUpAndKeepsItsInProgressName) {
    install(QJsonArray{clip("CLIP1", 6, 2, 2, true)});
    QIROSRTransfer *stopped = nullptr;
    // The read-back, if it begins at all, notes whether the stop reached it, then runs through all the same,
    // as a read-back that had just finished when the stop came would: the file must still keep its
    // in-progress name.
    std::atomic<int> readBacksUnstopped{0};
    connectBeforeStart = [&](QIROSRTransfer &transfer) {
        stopped = &transfer;
        transfer.setFileReadBack([&readBacksUnstopped](const QString &file,
                                                       const std::vector<FrameChecksum> *expected,
                                                       std::stop_token stop, bool direct, bool md5) {
            if (!stop.stop_requested())
                ++readBacksUnstopped;
            return readBack(file, expected, {}, direct, md5);
        });
    };
    // As a window closing at 100 % would: the writer has every frame, and the read-back has not begun.
    atSourceEnd = [&stopped] { stopped->requestStop(); };
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_EQ(reports.failures, 0) << "a stop is not a failure: " << lastReason().toStdString();
    EXPECT_EQ(readBacksUnstopped, 0) << "the read-back is given up";
    const QFileInfo part(QString::fromStdString(partOf(*transfer)));
    EXPECT_EQ(part.dir().entryList(QDir::Files), QStringList{part.fileName()}) << "no companion was begun";
    EXPECT_EQ(headerStatus(partOf(*transfer)), kClosedComplete) << "finished, but kept aside";
}

// A clip handed over unchecked is closed under its in-progress name; the lane checks its clips one at a time
// in order, holds at most one more, gives the running one up on a stop (sending nothing for either) and
// commits a clip handed in after the stop.
TEST_F(WriterTest, AHandedOverClipGetsItsFinalNameOnlyFromTheLaneWhichAStopGivesUp) {
    testsupport::ensureCoreApplication(); // the lane's signals come through the event loop
    install(QJsonArray{clip("CLIP1", 6, 2, 2, true)});
    // Each read-back waits until it is let go or given up, and notes whether the stop reached it.
    std::atomic<int> readBacksBegun{0}, readBacksGivenUp{0};
    std::atomic<bool> letGo{false};
    connectBeforeStart = [&](QIROSRTransfer &transfer) {
        transfer.setHandOverChecks(true);
        transfer.setFileReadBack([&](const QString &file, const std::vector<FrameChecksum> *expected,
                                     std::stop_token stop, bool direct, bool md5) {
            ++readBacksBegun;
            testsupport::eventually([&] { return letGo.load() || stop.stop_requested(); });
            if (stop.stop_requested())
                ++readBacksGivenUp;
            return readBack(file, expected, stop, direct, md5);
        });
    };
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir());
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.writtens == 1; }))
        << lastReason().toStdString();
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kBoundedStop)));
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_EQ(readBacksBegun, 0) << "the writer checks nothing itself";
    const QString file = QString::fromStdString(fileOf(*transfer));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(headerStatus(partOf(*transfer)), kClosedComplete);
    std::optional<PendingDelivery> written = transfer->takeWrittenClip();
    ASSERT_TRUE(written.has_value());
    EXPECT_FALSE(transfer->takeWrittenClip().has_value()) << "taken once";
    EXPECT_EQ(written->frames.size(), 6u);

    DeliveryLane lane;
    std::vector<std::pair<int, ClipDelivered>> delivered;
    QObject::connect(&lane, &DeliveryLane::delivered, [&delivered](int clip, const ClipDelivered &result) {
        delivered.emplace_back(clip, result);
    });
    lane.submit(1, *written);
    ASSERT_TRUE(testsupport::eventually([&] { return readBacksBegun == 1; }));
    EXPECT_TRUE(lane.canTakeMore());
    lane.submit(2, *written);
    EXPECT_FALSE(lane.canTakeMore()) << "one checked, one waiting";
    lane.stop();
    ASSERT_TRUE(testsupport::eventually([&] { return !lane.busy(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(readBacksGivenUp, 1);
    EXPECT_EQ(readBacksBegun, 1) << "the waiting clip is dropped";
    EXPECT_TRUE(delivered.empty()) << "nothing is sent for what was given up";
    EXPECT_FALSE(QFile::exists(file));

    letGo = true;
    lane.submit(3, *written);
    ASSERT_TRUE(testsupport::eventually([&] {
        QCoreApplication::processEvents();
        return !delivered.empty();
    }));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].first, 3);
    const ClipDelivered &result = delivered[0].second;
    EXPECT_FALSE(result.failure) << result.failure->toStdString();
    ASSERT_EQ(result.copies.size(), 1u);
    EXPECT_TRUE(result.copies[0].committed);
    EXPECT_EQ(headerStatus(file.toStdString()), kClosedComplete);
    EXPECT_EQ(result.digests().sha256, sha256OfFile(file).value_or(QString()))
        << "from the lane's one read-back";
    EXPECT_FALSE(reportOf(file.toStdString()).isEmpty());
}

// A recorder that never plays, stops in mid-clip, or whose pictures stop coming: the transfer fails within
// its limit instead of waiting for ever. The wait for the first block (the recorder cues the clip) has a
// limit of its own, apart from the stall limit once blocks flow; each case sets only its own limit short.
struct StallCase {
    QJsonObject faults;
    bool cueing;    // the play-out never starts: the cue limit ends it
    QString reason; // what the failure's reason says
};

class StallTest : public WriterTest, public ::testing::WithParamInterface<StallCase> {};

TEST_P(StallTest, APlayOutThatStallsFailsWithinItsLimit) {
    install(QJsonArray{clip("CLIP1", 40, 2, 2, false, {{"faults", GetParam().faults}})});
    const auto shortLimit = std::chrono::milliseconds(1000);
    const auto longLimit = std::chrono::milliseconds(60'000);
    auto transfer =
        start(QIROSRTransfer::kModeWithoutPreview, outDir(), -1, {},
              GetParam().cueing ? longLimit : shortLimit, GetParam().cueing ? shortLimit : longLimit);
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin))) << "the transfer ends by itself";
    EXPECT_EQ(reports.failures.load(), 1);
    EXPECT_TRUE(lastReason().startsWith(GetParam().reason)) << lastReason().toStdString();
    EXPECT_EQ(watch->counts().completes, 0);
    EXPECT_EQ(watch->counts().drops, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StallTest,
    ::testing::Values(StallCase{QJsonObject{{"neverPlays", true}}, true,
                                "cue timeout: the recorder's play-out gave no payload block within 1 s"},
                      StallCase{QJsonObject{{"stopsPlayingAfter", 10}}, false,
                                "no payload block from the recorder for 1 s"}));

TEST_F(WriterTest, AWriterSlowerThanTheCaptureStillWritesEveryFrameByteExact) {
    // More frames than the ring holds, so that the capture waits for the writer.
    install(QJsonArray{clip("CLIP1", 150, 2, 2, true)});
    auto transfer = start(QIROSRTransfer::kModeWithoutPreview, outDir(), -1, std::chrono::milliseconds(4));
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << lastReason().toStdString() << " frames " << watch->counts().frames;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    EXPECT_EQ(watch->counts().frames, 150u);
    EXPECT_EQ(watch->counts().mismatches, 0u);
    EXPECT_EQ(watch->counts().drops, 0);
}

// Real MPEG-4 pictures, so that the preview decoder makes an image of every picture it is given. The
// decoder library is found beside the application, so there is one.
class PreviewTest : public WriterTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        WriterTest::SetUp();
        testsupport::ensureCoreApplication();
    }
};

TEST_P(PreviewTest, OnlyWithPreviewDecodesAPictureEveryPreviewIntervalFrames) {
    constexpr int kFrames = 51; // 25 frames a second: frames 0, 25 and 50 are previewed
    std::vector<uint8_t> picture = picture1080();
    ASSERT_FALSE(picture.empty());
    picture.resize(*FrameAssembler::frameBytesFor(0), 0);
    QTemporaryDir folder;
    QFile pictures(folder.filePath("pictures.bin"));
    ASSERT_TRUE(pictures.open(QIODevice::WriteOnly));
    for (int i = 0; i < kFrames; ++i)
        pictures.write(reinterpret_cast<const char *>(picture.data()), qint64(picture.size()));
    pictures.close();
    install(QJsonArray{
        clip("CLIP1", kFrames, 0, 0, false, {{"rateIndex", 2}, {"pictureFile", pictures.fileName()}})});

    std::atomic<int> images{0};
    connectBeforeStart = [&images](QIROSRTransfer &transfer) {
        QObject::connect(&transfer, &QIROSRTransfer::newFrameSignal, [&images](const QImage &image, bool) {
            if (image.size() == QSize(960, 540))
                ++images;
        });
    };
    auto transfer = start(GetParam(), outDir());
    ASSERT_TRUE(watch->waitUntil([](const Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    ASSERT_TRUE(transfer->wait(QDeadlineTimer(kTransferEndsWithin)));
    EXPECT_EQ(images.load(), GetParam() == QIROSRTransfer::kModeWithoutPreview ? 0 : 3);
}

INSTANTIATE_TEST_SUITE_P(Modes, PreviewTest,
                         ::testing::Values(QIROSRTransfer::kModeWithPreview,
                                           QIROSRTransfer::kModeWithoutPreview,
                                           QIROSRTransfer::kModePreviewOnly));
