// vantrel-transfer killed (SIGKILL) at random moments of a transfer at full speed: afterwards a file under
// its final name is always whole, holds every frame of the clip and sits beside its own report, and the next
// start reports the in-progress file the killed transfer left. What a kill cannot show, a power cut needs:
// that every write, sync and rename of a transfer reaches the disk in the order that keeps this true, which
// a transfer in this process shows through the durability calls.

#include "mxf/SMDKLibrary.h"
#include "tests/capture/TransferHarness.h"
#include "tests/support/CoreApplication.h"
#include "tests/support/RecordingDurabilityCalls.h"
#include "tests/support/TempManifest.h"
#include "verify/FileVerification.h"
#include "verify/TransferReport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>

namespace {

constexpr int kKills = 20;
// Kills land from the first progress line (frames are being written) to three quarters of the time the
// reference run took from there to its end, and never later than this.
constexpr int kLatestKillMs = 1500;
constexpr int kRunLimitMs = 60'000;

// The checksums of every frame of a file as the library's reader reads it.
std::vector<FrameChecksum> checksumsOf(const QString &path) {
    const auto reader = openSMDKReader(QFile::encodeName(path).toStdString());
    std::vector<FrameChecksum> checksums;
    for (int64_t i = 0; i < reader->editUnitCount(); ++i)
        checksums.push_back(checksumOf(reader->readEditUnit(i)));
    return checksums;
}

class KillSafetyE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(destination.isValid()); }

    // Starts a transfer of the clip; the caller waits for it or kills it.
    void launch(QProcess &process) {
        process.start(VANTREL_TRANSFER, {"--media", manifest.path(), "--speed", "max", "transfer", "--dest",
                                         destination.path(), "--overwrite", "CLIP1"});
        ASSERT_TRUE(process.waitForStarted());
        process.setReadChannel(QProcess::StandardError);
    }

    testsupport::TempManifest manifest{testsupport::manifestWith(QJsonArray{[] {
        QJsonObject clip = testsupport::clipJson("CLIP1", 60);
        clip["codec"] = 2;
        clip["soundChannels"] = 2;
        return clip;
    }()})};
    QTemporaryDir destination;
    QString finalFile() const { return destination.filePath("REEL01/CLIP1.mxf"); }
    QString partFile() const { return finalFile() + ".part"; }
};

TEST_F(KillSafetyE2e, AKilledTransferNeverLeavesAnIncompleteFileUnderTheFinalNameAndItsLeftoverIsReported) {
    // The reference run also measures how long a transfer runs after its first progress line, so that the
    // kills land inside that time however fast this machine is.
    QProcess reference;
    launch(reference);
    QByteArray referenceErrors;
    while (!referenceErrors.contains("% (") && reference.waitForReadyRead(kRunLimitMs))
        referenceErrors += reference.readAllStandardError();
    QElapsedTimer transferTime;
    transferTime.start();
    ASSERT_TRUE(reference.waitForFinished(kRunLimitMs));
    const int latestKillMs = std::clamp(int(transferTime.elapsed() * 3 / 4), 1, kLatestKillMs);
    ASSERT_EQ(reference.exitCode(), 0) << reference.readAllStandardError().toStdString();
    const std::vector<FrameChecksum> expected = checksumsOf(finalFile());
    ASSERT_EQ(expected.size(), 60u);

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> moment(0, latestKillMs);
    int killedMidway = 0;
    for (int i = 0; i < kKills; ++i) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", kill " + std::to_string(i));
        // Every other run starts without a finished file, so that kills also hit a first transfer.
        if (i % 2 == 0)
            QFile::remove(finalFile());
        const bool leftover = QFile::exists(partFile());
        QProcess process;
        launch(process);
        QByteArray errors;
        while (!errors.contains("% (") && process.waitForReadyRead(kRunLimitMs))
            errors += process.readAllStandardError();
        const int delay = moment(random);
        if (!process.waitForFinished(delay)) {
            ::kill(pid_t(process.processId()), SIGKILL);
            ASSERT_TRUE(process.waitForFinished(kRunLimitMs));
            ++killedMidway;
        }
        if (QFile::exists(finalFile())) {
            EXPECT_EQ(verifyFile(finalFile(), expected).value_or("").toStdString(), "")
                << "killed after " << delay << " ms";
            EXPECT_EQ(auditFile(finalFile()).value_or("").toStdString(), "")
                << "the file sits beside its own report; killed after " << delay << " ms";
        }
        errors += process.readAllStandardError();
        if (leftover) {
            EXPECT_TRUE(errors.contains((partFile() + " is left over").toUtf8())) << errors.toStdString();
        }
    }
    EXPECT_GE(killedMidway, kKills / 2) << "most kills land during a transfer";

    const bool leftover = QFile::exists(partFile());
    QProcess last;
    launch(last);
    ASSERT_TRUE(last.waitForFinished(kRunLimitMs));
    EXPECT_EQ(last.exitCode(), 0);
    if (leftover) {
        EXPECT_TRUE(last.readAllStandardError().contains((partFile() + " is left over").toUtf8()));
    }
    EXPECT_EQ(verifyFile(finalFile(), expected), std::nullopt);
    EXPECT_FALSE(QFile::exists(partFile())) << "the new transfer replaced its leftover";
}

class DurableOrder : public transfertest::TransferTest {};

TEST_F(DurableOrder, ATransferWritesSyncsAndRenamesItsFilesInTheOrderAPowerCutNeeds) {
    testsupport::ensureCoreApplication();
    install(QJsonArray{transfertest::clip("CLIP1", 6, 2, 2, false)});
    testsupport::RecordingDurabilityCalls recorder(QFileInfo(manifest->filePath("out")).absolutePath());
    std::unique_ptr<transfertest::TransferWatch> watch;
    std::unique_ptr<QIROSRTransfer> transfer = startTransfer(0, watch);
    ASSERT_TRUE(watch->waitUntil([](const transfertest::Counts &c) { return c.completes == 1; }))
        << watch->counts().lastFailure;
    transfer.reset();
    const std::string file = "out/REEL01/CLIP1.mxf", sums = file + ".sha256",
                      report = "out/REEL01/CLIP1.json";
    EXPECT_EQ(recorder.recorded(),
              (std::vector<std::string>{
                  // the folders created, each made durable in its parent
                  "sync .", "sync out",
                  // the file, then each companion, written and synced
                  "sync " + file + ".part", "write " + sums + ".part", "sync " + sums + ".part",
                  "sync out/REEL01", "write " + report + ".part", "sync " + report + ".part",
                  // the older set removed, the new one renamed in, the file last
                  "sync out/REEL01", "rename " + sums + ".part " + sums, "sync out/REEL01",
                  "rename " + report + ".part " + report, "sync out/REEL01",
                  "rename " + file + ".part " + file, "sync out/REEL01"}));
}

} // namespace
