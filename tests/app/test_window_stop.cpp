// Stopping a transfer while its file is being put in place: the window returns at once, the stopped capture
// object finishes on a thread of its own and holds the board until it is gone, the next clip waits for the
// board, its late reports change nothing, and closing the window waits for it, saying so.

#include "app/QIROSRTransferWidget.h"
#include "capture/QIROSRTransfer.h"
#include "mxf/DurableFile.h"
#include "tests/app/HeldSync.h"
#include "tests/app/WindowFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <chrono>
#include <thread>

namespace {

using windowtest::HeldSync;
using windowtest::HeldSyncWindowTest;

class WindowStopTest : public HeldSyncWindowTest {
protected:
    // Starts the one clip and waits until the sync `holds` picks is held. A command to run after each clip
    // keeps the checks and the commit on the capture object's writer thread (see test_window_lane.cpp for
    // checks handed to the window's lane).
    void startAndHold(HeldSync::Pick holds) {
        install(QJsonArray{transfertest::clip("SHOT01", 12, 0, 2, false)});
        openWithFolder();
        child<QLineEdit>("clipDoneCommand")->setText("true");
        held = std::make_unique<HeldSync>(std::move(holds));
        clickRow(0);
        pressStart();
        ASSERT_TRUE(QTest::qWaitFor([this] { return held->reached(); }, kWaitMs));
        ASSERT_FALSE(idle());
    }
    // Answers the stop question with Yes; how long the GUI thread took.
    std::chrono::milliseconds stop() {
        dialogs->answers = {QMessageBox::Yes};
        QElapsedTimer timer;
        timer.start();
        pressStart();
        return std::chrono::milliseconds(timer.elapsed());
    }
    QString finalFile() { return outputFile("REEL01", "SHOT01"); }
};

// The stop comes while the finished file's sync is held, before its read-back: the GUI thread returns at
// once, the stopped object keeps the board, a new start waits for it and then transfers the clip.
TEST_F(WindowStopTest, StopDuringTheFilesSyncReturnsAtOnceAndTheNextStartWaitsForTheBoard) {
    ASSERT_NO_FATAL_FAILURE(startAndHold([this](const QString &path, const QStringList &) {
        return path == finalFile() + kInProgressSuffix;
    }));
    QIROSRTransfer *stopped = preview()->capture();
    EXPECT_LT(stop(), HeldSync::kHoldLimit / 2);
    EXPECT_TRUE(idle());
    EXPECT_EQ(preview()->capture(), nullptr);
    EXPECT_EQ(statuses(), QStringList({"stopped"}));
    EXPECT_EQ(statusLine()->text(), "No file finished. SHOT01 was stopped.");
    EXPECT_TRUE(preview()->finishing());
    EXPECT_FALSE(transfertest::boardReleased()) << "the stopped object still holds the board";
    EXPECT_FALSE(preview()->acquireBoard(0, 0));

    // Its reports reach no clip: not the stopped one, nor the one waiting for the board.
    std::thread([stopped] { emit stopped->transferCompleteSignal(); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(statuses(), QStringList({"stopped"}));
    pressStart();
    EXPECT_FALSE(idle());
    EXPECT_EQ(preview()->capture(), nullptr);
    EXPECT_EQ(statuses(), QStringList({"queued"}));
    EXPECT_EQ(statusLine()->text(),
              "Waiting for the last transfer to finish its file and give the board back "
              "before SHOT01 starts");
    std::thread([stopped] { emit stopped->transferFailedSignal("late"); }).join();
    QTest::qWait(200);
    EXPECT_EQ(preview()->capture(), nullptr);
    EXPECT_EQ(statuses(), QStringList({"queued"}));

    held->release();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(statuses(), QStringList({"finished (verified)"}));
    EXPECT_TRUE(QFile::exists(finalFile()));
    EXPECT_FALSE(QFile::exists(finalFile() + kInProgressSuffix));
    ASSERT_EQ(dialogs->summaries.size(), 2u);
    EXPECT_EQ(dialogs->summaries[1].finishedCount(), 1);
    EXPECT_TRUE(waitBoardReleased());
}

// The stop comes after the file took its final name, while the folder's last sync is held: the commit still
// completes on the stopped object's thread, and the clip stays stopped.
TEST_F(WindowStopTest, StopDuringTheLastFolderSyncLeavesTheFileCommitted) {
    ASSERT_NO_FATAL_FAILURE(startAndHold([this](const QString &path, const QStringList &renamedFrom) {
        return path == QFileInfo(finalFile()).path() && renamedFrom.contains(finalFile() + kInProgressSuffix);
    }));
    EXPECT_LT(stop(), HeldSync::kHoldLimit / 2);
    EXPECT_TRUE(idle());
    EXPECT_EQ(statuses(), QStringList({"stopped"}));
    EXPECT_TRUE(preview()->finishing());

    QSignalSpy finished(preview(), &QIROSRTransferWidget::stoppedTransfersFinished);
    held->release();
    ASSERT_TRUE(finished.wait(kWaitMs));
    EXPECT_FALSE(preview()->finishing());
    EXPECT_TRUE(transfertest::boardReleased());
    EXPECT_TRUE(QFile::exists(finalFile()));
    EXPECT_TRUE(QFile::exists(finalFile().chopped(4) + ".json"));
    EXPECT_FALSE(QFile::exists(finalFile() + kInProgressSuffix));
    EXPECT_EQ(statuses(), QStringList({"stopped"}));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].finishedCount(), 0);
}

// Stop while the next clip waits for the board ends the batch: the clip never started and is skipped.
TEST_F(WindowStopTest, StopWhileWaitingForTheBoardEndsTheBatch) {
    ASSERT_NO_FATAL_FAILURE(startAndHold([this](const QString &path, const QStringList &) {
        return path == finalFile() + kInProgressSuffix;
    }));
    stop();
    pressStart();
    ASSERT_FALSE(idle());
    EXPECT_LT(stop(), HeldSync::kHoldLimit / 2);
    EXPECT_TRUE(idle());
    EXPECT_EQ(statuses(), QStringList({"skipped"}));
    ASSERT_EQ(dialogs->summaries.size(), 1u) << "the waiting batch had started no clip";
    held->release();
    EXPECT_TRUE(waitBoardReleased());
    QTest::qWait(200);
    EXPECT_TRUE(idle()) << "nothing started once the board was free";
    EXPECT_EQ(preview()->capture(), nullptr);
}

// A drop hands the try over and the clip's next try waits for the board; Stop meanwhile stops the clip.
TEST_F(WindowStopTest, StopWhileARestartWaitsForTheBoardStopsTheClip) {
    install(QJsonArray{
        transfertest::clip("SHOT01", 12, 0, 2, false, {{"faults", QJsonObject{{"neverPlays", true}}}})});
    openWithFolder();
    clickRow(0);
    pressStart();
    QIROSRTransfer *first = preview()->capture();
    ASSERT_NE(first, nullptr);
    std::thread([first] { emit first->droppedFrameSignal(); }).join();
    // The drop only: the stopped try's end is told by an event posted after it.
    QCoreApplication::processEvents();
    ASSERT_EQ(preview()->capture(), nullptr);
    ASSERT_FALSE(idle());
    EXPECT_EQ(statuses(), QStringList({"restarted 1 of 3"}));
    EXPECT_LT(stop(), HeldSync::kHoldLimit / 2);
    EXPECT_TRUE(idle());
    EXPECT_EQ(statuses(), QStringList({"stopped"}));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    ASSERT_EQ(dialogs->summaries[0].clips().size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].clips()[0].outcome, BatchReport::Outcome::Stopped);
    EXPECT_TRUE(waitBoardReleased());
    QTest::qWait(200);
    EXPECT_TRUE(idle()) << "no try started once the board was free";
    EXPECT_EQ(preview()->capture(), nullptr);
}

// Closing the window while a clip's file is synced stops it without waiting; the window stays, saying so,
// until the stopped object is gone, then closes.
TEST_F(WindowStopTest, ClosingWaitsForTheStoppedTransferAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(startAndHold([this](const QString &path, const QStringList &) {
        return path == finalFile() + kInProgressSuffix;
    }));
    QElapsedTimer timer;
    timer.start();
    window->close();
    EXPECT_LT(std::chrono::milliseconds(timer.elapsed()), HeldSync::kHoldLimit / 2);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(statusLine()->text(),
              "Finishing the stopped transfer's file; the window closes when it is done");
    EXPECT_FALSE(button()->isEnabled());
    EXPECT_FALSE(transfertest::boardReleased());

    held->release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, kWaitMs));
    EXPECT_TRUE(transfertest::boardReleased());
    EXPECT_FALSE(QFile::exists(finalFile())) << "a stop before the read-back leaves the in-progress file";
}

// Destroying the window while a stopped object still syncs waits for it: no thread outlives the window.
TEST_F(WindowStopTest, DestroyingTheWindowWaitsForTheStoppedTransfer) {
    ASSERT_NO_FATAL_FAILURE(startAndHold([this](const QString &path, const QStringList &) {
        return path == finalFile() + kInProgressSuffix;
    }));
    std::jthread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        held->release();
    });
    window.reset();
    EXPECT_TRUE(transfertest::boardReleased());
}

} // namespace
