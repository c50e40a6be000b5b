// Checks beside the next clip: a written clip is checked on the window's lane while the next clip plays, the
// status line names it, at most one written clip waits behind it, each clip takes its final name only once
// its checks passed, a failed check fails its own clip alone, and Stop or closing the window gives the checks
// up, the files keeping their in-progress names.

#include "app/QIROSRTransferWidget.h"
#include "delivery/DeliveryLane.h"
#include "mxf/OutputPath.h"
#include "tests/app/HeldSync.h"
#include "tests/app/WindowFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <cerrno>
#include <chrono>

namespace {

using windowtest::HeldSync;
using windowtest::HeldSyncWindowTest;

class WindowLaneTest : public HeldSyncWindowTest {
protected:
    DeliveryLane *lane() { return window->findChild<DeliveryLane *>(); }
    QString fileOf(int clip) {
        const QByteArray number = QByteArray::number(clip);
        return outputFile("REEL0" + number, "SHOT0" + number);
    }
    // `count` clips, SHOT0n on REEL0n, all ticked, and the batch started with the first clip's checks held
    // at the sync of its in-progress file.
    void startHoldingTheFirstChecks(int count) {
        QJsonArray clips;
        for (int n = 1; n <= count; ++n)
            clips.append(transfertest::clip(QString("SHOT0%1").arg(n), 12, (n - 1) % 3, 2, false,
                                            {{"secondName", QString("REEL0%1").arg(n)}}));
        install(clips);
        openWithFolder();
        held = std::make_unique<HeldSync>([this](const QString &path, const QStringList &) {
            return path == fileOf(1) + kInProgressSuffix;
        });
        window->checkAllFiles();
        pressStart();
    }
    // Waits until the rows read `rows` with no clip playing and the board given back, or the window is idle.
    bool waitUntilOnlyChecksRun(const QStringList &rows) {
        return QTest::qWaitFor(
                   [&] {
                       return idle() || (statuses() == rows && preview()->capture() == nullptr &&
                                         !preview()->finishing());
                   },
                   kWaitMs) &&
               !idle();
    }
    bool waitForTheLane() {
        return QTest::qWaitFor([this] { return !lane()->busy(); }, kWaitMs);
    }
};

// The first clip's checks are held: the second clip plays, and once written waits behind them; the third does
// not start. Released, the first clip takes its final name and the third starts at once beside the second's
// checks; every clip finishes.
TEST_F(WindowLaneTest, TheNextClipPlaysWhileTheLastIsCheckedAndEachTakesItsFinalNameAfterItsChecks) {
    startHoldingTheFirstChecks(3);
    ASSERT_TRUE(waitUntilOnlyChecksRun({"verifying", "verifying", "queued"}))
        << statuses().join(", ").toStdString();
    EXPECT_TRUE(held->reached());
    EXPECT_EQ(statusLine()->text(), "Verifying SHOT01");
    EXPECT_EQ(button()->text(), "Stop Transfer");
    EXPECT_TRUE(dialogs->summaries.empty());
    EXPECT_TRUE(QFile::exists(fileOf(1) + kInProgressSuffix));
    EXPECT_FALSE(QFile::exists(fileOf(1)));
    EXPECT_FALSE(QFile::exists(fileOf(2)));

    // What the window shows as each clip's checks are delivered.
    struct Delivery {
        QString line;
        QStringList rows;
        bool firstIsFinal = false;
    };
    std::vector<Delivery> deliveries;
    QObject::connect(lane(), &DeliveryLane::delivered, window.get(), [&] {
        deliveries.push_back({statusLine()->text(), statuses(), QFile::exists(fileOf(1))});
    });
    held->release();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(deliveries.size(), 3u);
    EXPECT_TRUE(deliveries[0].firstIsFinal);
    EXPECT_EQ(deliveries[0].rows, QStringList({"finished (verified)", "verifying", "cueing"}));
    EXPECT_TRUE(deliveries[0].line.startsWith("Transferring SHOT03 (clip 3 of 3), about "))
        << deliveries[0].line.toStdString();
    EXPECT_TRUE(deliveries[0].line.endsWith("; verifying SHOT02")) << deliveries[0].line.toStdString();

    EXPECT_EQ(statuses(), QStringList(3, "finished (verified)"));
    EXPECT_EQ(checked(), std::vector<bool>(3, false));
    for (int clip = 1; clip <= 3; ++clip) {
        EXPECT_TRUE(QFile::exists(fileOf(clip))) << clip;
        EXPECT_FALSE(QFile::exists(fileOf(clip) + kInProgressSuffix)) << clip;
    }
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].finishedCount(), 3);
    EXPECT_TRUE(dialogs->boxes.empty());
}

// The first file loses its second half while its checks wait: its read-back fails, that clip alone fails (it
// stays ticked, its file keeps the in-progress name), and the batch goes on.
TEST_F(WindowLaneTest, AFailedCheckFailsItsOwnClipAndTheBatchGoesOn) {
    startHoldingTheFirstChecks(2);
    ASSERT_TRUE(waitUntilOnlyChecksRun({"verifying", "verifying"})) << statuses().join(", ").toStdString();
    QFile part(fileOf(1) + kInProgressSuffix);
    ASSERT_TRUE(part.resize(part.size() / 2));
    held->release();
    ASSERT_TRUE(waitIdle());

    EXPECT_TRUE(statuses()[0].startsWith("failed: verification failed: ")) << statuses()[0].toStdString();
    EXPECT_EQ(statuses()[1], "finished (verified)");
    EXPECT_EQ(checked(), std::vector<bool>({true, false}));
    EXPECT_FALSE(QFile::exists(fileOf(1)));
    EXPECT_TRUE(QFile::exists(fileOf(1) + kInProgressSuffix));
    EXPECT_TRUE(QFile::exists(fileOf(2)));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    const BatchReport &summary = dialogs->summaries[0];
    ASSERT_EQ(summary.clips().size(), 2u);
    EXPECT_EQ(summary.clips()[0].outcome, BatchReport::Outcome::Failed);
    EXPECT_EQ(summary.clips()[1].outcome, BatchReport::Outcome::Finished);
    EXPECT_TRUE(summary.endedEarly().isEmpty());
}

// The held sync of the first clip's file finds the disk full: that clip fails, the one that waited behind it
// is still checked, and the batch then ends without starting another.
TEST_F(WindowLaneTest, AFullDiskFoundByTheChecksEndsTheBatchOnceTheWaitingClipIsChecked) {
    startHoldingTheFirstChecks(3);
    ASSERT_TRUE(waitUntilOnlyChecksRun({"verifying", "verifying", "queued"}))
        << statuses().join(", ").toStdString();
    held->release(ENOSPC);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(statuses()[0].startsWith("failed: disk full")) << statuses()[0].toStdString();
    EXPECT_EQ(statuses()[1], "finished (verified)");
    EXPECT_EQ(statuses()[2], "skipped");
    EXPECT_FALSE(QFile::exists(fileOf(3) + kInProgressSuffix));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_TRUE(dialogs->summaries[0].endedEarly().startsWith("disk full"))
        << dialogs->summaries[0].endedEarly().toStdString();
    EXPECT_TRUE(dialogs->boxes.empty());
}

// The batch's end waits for the checks; Stop gives them up at once: both clips are stopped, and once the lane
// has let go neither file has its final name.
TEST_F(WindowLaneTest, StopWhileClipsAreCheckedStopsThemAndTheirFilesKeepTheirInProgressNames) {
    startHoldingTheFirstChecks(2);
    ASSERT_TRUE(waitUntilOnlyChecksRun({"verifying", "verifying"})) << statuses().join(", ").toStdString();
    EXPECT_EQ(statusLine()->text(), "Verifying SHOT01");
    EXPECT_TRUE(dialogs->summaries.empty()) << "the batch ends once its clips are checked";

    dialogs->answers = {QMessageBox::Yes};
    QElapsedTimer timer;
    timer.start();
    pressStart();
    EXPECT_LT(std::chrono::milliseconds(timer.elapsed()), HeldSync::kHoldLimit / 2);
    EXPECT_TRUE(idle());
    EXPECT_EQ(statuses(), QStringList({"stopped", "stopped"}));
    EXPECT_EQ(checked(), std::vector<bool>({true, true}));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    const BatchReport &summary = dialogs->summaries[0];
    ASSERT_EQ(summary.clips().size(), 2u);
    EXPECT_EQ(summary.clips()[0].outcome, BatchReport::Outcome::Stopped);
    EXPECT_EQ(summary.clips()[1].outcome, BatchReport::Outcome::Stopped);
    EXPECT_EQ(summary.endedEarly(), "stopped by the user");

    held->release();
    ASSERT_TRUE(waitForTheLane());
    QCoreApplication::processEvents();
    EXPECT_EQ(statuses(), QStringList({"stopped", "stopped"})) << "nothing is delivered for them";
    for (int clip = 1; clip <= 2; ++clip) {
        EXPECT_FALSE(QFile::exists(fileOf(clip))) << clip;
        EXPECT_TRUE(QFile::exists(fileOf(clip) + kInProgressSuffix)) << clip;
    }
}

// Closing while a clip is checked closes at once and gives the checks up.
TEST_F(WindowLaneTest, ClosingWhileAClipIsCheckedDoesNotWaitForItsChecks) {
    startHoldingTheFirstChecks(1);
    ASSERT_TRUE(waitUntilOnlyChecksRun({"verifying"})) << statuses().join(", ").toStdString();
    QElapsedTimer timer;
    timer.start();
    window->close();
    EXPECT_LT(std::chrono::milliseconds(timer.elapsed()), HeldSync::kHoldLimit / 2);
    EXPECT_FALSE(window->isVisible());
    held->release();
    ASSERT_TRUE(waitForTheLane());
    EXPECT_FALSE(QFile::exists(fileOf(1)));
    EXPECT_TRUE(QFile::exists(fileOf(1) + kInProgressSuffix));
}

} // namespace
