// Transfers from the window: batches through the simulated recorder, restarts after drops, failures, the
// stop question, the checks before a start and closing the window while a transfer runs.

#include "app/QIROSRTransferWidget.h"
#include "batch/DiskSpace.h"
#include "capture/QIROSRTransfer.h"
#include "tests/app/WindowFixture.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <thread>

namespace {

using windowtest::AskedBox;
using windowtest::WindowTest;

const QString kInvalidInput = "<p>The QIRO Capture Device does not have a valid Input. Make Sure either a "
                              "Corvel or Pyxen Capture Device is "
                              "installed.Make Sure the SRModule Output 1 is Connected to the QIRO Capture "
                              "Device Input 1And the SR Module "
                              "is in Vantrel Mode";

class WindowTransferTest : public WindowTest {
protected:
    QIROSRTransfer *capture() { return child<QIROSRTransferWidget>("preview")->capture(); }
    // The report beside a finished file.
    QJsonObject reportOf(const char *folder, const char *clip) {
        QFile file(outputFile(folder, clip).chopped(4) + ".json");
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    // Emits a signal of the running capture object from another thread, as the engine does.
    template <typename Emit> void emitFromThread(Emit emitSignal) {
        QIROSRTransfer *transfer = capture();
        ASSERT_NE(transfer, nullptr);
        std::thread([&] { emitSignal(*transfer); }).join();
    }
    static bool sameBox(const AskedBox &box, QMessageBox::Icon icon, const QString &title,
                        const QString &text, QMessageBox::StandardButtons buttons) {
        return box.icon == icon && box.title == title && box.text == text && box.buttons == buttons;
    }
};

TEST_F(WindowTransferTest, TransfersCheckedClipsOneAfterAnother) {
    installThreeClips();
    openWithFolder();
    window->findChild<QCheckBox *>("frameMd5Box")->setChecked(true);
    dialogs->metadataAnswer = MetadataPairs{{"Title", "Hafen Süd"}, {"Take", "3"}, {"operator", "Ann"}};
    QTest::mouseClick(child<QPushButton>("metadataButton"), Qt::LeftButton);
    window->checkAllFiles();
    pressStart();
    EXPECT_EQ(button()->text(), "Stop Transfer");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(checked(), std::vector<bool>(3, false));
    EXPECT_TRUE(dialogs->boxes.empty());
    for (const auto &[folder, clip] :
         {std::pair{"REEL01", "SHOT01"}, {"REEL01", "SHOT02"}, {"REEL03", "SHOT03"}}) {
        const QString file = outputFile(folder, clip);
        EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
        EXPECT_TRUE(QFile::exists(file.chopped(4) + ".framemd5")) << file.toStdString();
        const QJsonObject report = reportOf(folder, clip);
        EXPECT_EQ(report["metadata"].toObject(),
                  (QJsonObject{{"Take", "3"}, {"Title", "Hafen Süd"}, {"operator", "Ann"}}));
        // The form's operator is the operator of the file's events.
        const QJsonArray agents = report["events"].toArray().first()["agents"].toArray();
        EXPECT_EQ(agents.last().toObject(), (QJsonObject{{"role", "operator"}, {"name", "Ann"}}));
    }
    EXPECT_FALSE(QFile::exists(outputFile("REEL01", "PROG01")));
    EXPECT_EQ(statusLine()->text(), "3 files finished, the last " + outputFile("REEL03", "SHOT03") + ".");
    EXPECT_EQ(statuses(), QStringList(3, "finished (verified)"));
    // The finished file and every file beside it.
    EXPECT_EQ(
        model()->item(0, Vantrel::kStatusColumn)->toolTip(),
        QStringList({outputFile("REEL01", "SHOT01"), outputFile("REEL01", "SHOT01").chopped(4) + ".json",
                     outputFile("REEL01", "SHOT01") + ".sha256",
                     outputFile("REEL01", "SHOT01").chopped(4) + ".framemd5"})
            .join('\n'));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].finishedCount(), 3);
    EXPECT_EQ(dialogs->summaryFolder, manifest->filePath("out"));
    EXPECT_TRUE(waitBoardReleased());
}

TEST_F(WindowTransferTest, SilentOrClippedSoundMarksTheFinishedClipAndItsToolTipNamesTheChannels) {
    const QJsonArray sound{QJsonObject{{"tone", QJsonObject{{"frequency", 1000}, {"level", 6}}}},
                           QJsonObject{{"silence", true}}};
    install(QJsonArray{transfertest::clip("LOUD", 4, 2, 3, false, {{"sound", sound}}),
                       transfertest::clip("PLAIN", 4, 2, 2, false)});
    openWithFolder();
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(statuses(), QStringList(2, "finished (verified)"));
    const QStandardItem *loud = model()->item(0, Vantrel::kStatusColumn);
    EXPECT_FALSE(loud->icon().isNull());
    const QJsonArray channels = reportOf("REEL01", "LOUD")["sound"].toObject()["channels"].toArray();
    const int clipped = channels.at(0).toObject()["clippedSamples"].toInt();
    EXPECT_GT(clipped, 0);
    EXPECT_TRUE(loud->toolTip().endsWith(
        QString("\nsound: silent throughout: channel 2; clipped: channel 1 (%1 samples)").arg(clipped)))
        << loud->toolTip().toStdString();
    EXPECT_TRUE(model()->item(1, Vantrel::kStatusColumn)->icon().isNull());
}

TEST_F(WindowTransferTest, ADroppedFrameRestartsTheSameClip) {
    installThreeClips(QJsonObject{{"dropsPicture", 5}});
    openWithFolder();
    clickRow(1);
    clickRow(2);
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_EQ(checked(), std::vector<bool>(3, false));
    EXPECT_TRUE(QFile::exists(outputFile("REEL01", "SHOT02")));
    EXPECT_TRUE(statusLine()->text().startsWith("2 files finished"));
    // The restarted clip's report lists the drop of its first try; the next clip's lists none.
    const QJsonObject restarted = reportOf("REEL01", "SHOT02");
    EXPECT_EQ(restarted["restarts"].toInt(), 1);
    EXPECT_EQ(restarted["droppedPictures"].toArray().size(), 1);
    const QJsonObject next = reportOf("REEL03", "SHOT03");
    EXPECT_EQ(next["restarts"].toInt(), 0);
    EXPECT_TRUE(next["droppedPictures"].toArray().isEmpty());
}

TEST_F(WindowTransferTest, ADropAfterTheRunningClipWasUntickedGoesOnWithTheNextClipAndItsOwnTries) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    clickRow(1);
    clickRow(2);
    pressStart();
    ASSERT_FALSE(idle());
    clickRow(1);
    emitFromThread([](QIROSRTransfer &transfer) { emit transfer.droppedFrameSignal(); });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_FALSE(QFile::exists(outputFile("REEL01", "SHOT02")));
    const QJsonObject next = reportOf("REEL03", "SHOT03");
    EXPECT_EQ(next["restarts"].toInt(), 0);
    EXPECT_TRUE(next["droppedPictures"].toArray().isEmpty());
}

TEST_F(WindowTransferTest, AClipThatKeepsDroppingIsGivenUpWithAReasonAndTheBatchGoesOn) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    clickRow(1);
    clickRow(2);
    pressStart();
    // Each drop before the budget is spent starts a new try of the same clip, and the row says so.
    for (int drop = 0; drop < RestartBudget::kDefaultRestarts; ++drop) {
        // Destroyed off the GUI thread; the next try starts once it is gone.
        std::atomic<bool> replaced = false;
        QObject::connect(capture(), &QObject::destroyed, [&] { replaced = true; });
        emitFromThread([](QIROSRTransfer &transfer) { emit transfer.droppedFrameSignal(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return replaced && capture() != nullptr; }, kWaitMs));
        ASSERT_FALSE(idle());
        ASSERT_NE(capture(), nullptr);
        EXPECT_EQ(table()->selectionModel()->selectedRows().value(0).row(), 1);
        EXPECT_EQ(statuses()[1], QString("restarted %1 of 3").arg(drop + 1));
    }
    emitFromThread([](QIROSRTransfer &transfer) { emit transfer.droppedFrameSignal(); });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    const QString reason = "frames were dropped on every try; gave up after 3 restarts";
    EXPECT_EQ(statuses(), QStringList({"", "failed: " + reason, "finished (verified)"}));
    // The failed clip stays ticked; the one after it was transferred.
    EXPECT_EQ(checked(), std::vector<bool>({false, true, false}));
    EXPECT_TRUE(QFile::exists(outputFile("REEL03", "SHOT03")));
    EXPECT_EQ(capture(), nullptr);
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    ASSERT_EQ(dialogs->summaries[0].clips().size(), 2u);
    EXPECT_EQ(dialogs->summaries[0].clips()[0].restarts, 3);
    EXPECT_EQ(dialogs->summaries[0].clips()[0].reason, reason);
}

TEST_F(WindowTransferTest, AFailedOpenFailsItsClipsWithoutABoxAndTheBatchGoesOn) {
    installThreeClips();
    openWithFolder();
    // A file where the first two clips' folder belongs: their output files cannot be opened.
    QFile(manifest->filePath("out/REEL01")).open(QIODevice::WriteOnly);
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_EQ(checked(), std::vector<bool>({true, true, false}));
    EXPECT_TRUE(statuses()[0].startsWith("failed: cannot open the output file "))
        << statuses()[0].toStdString();
    EXPECT_EQ(model()->item(0, Vantrel::kStatusColumn)->toolTip(), statuses()[0].mid(8));
    EXPECT_TRUE(statusLine()->text().startsWith("1 file finished: " + outputFile("REEL03", "SHOT03") +
                                                ". SHOT01 failed: cannot open the output file"))
        << statusLine()->text().toStdString();
    EXPECT_TRUE(waitBoardReleased());
}

TEST_F(WindowTransferTest, AnEngineFailureMarksTheClipAndTheNextOneRuns) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    window->checkAllFiles();
    pressStart();
    // The first clip is checked while the second cues, which lasts until the cue time-out.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return statuses()[0] == "finished (verified)" && statuses()[1] == "cueing"; }, kWaitMs));
    EXPECT_EQ(statuses(), QStringList({"finished (verified)", "cueing", "queued"}));
    emitFromThread(
        [](QIROSRTransfer &transfer) { emit transfer.transferFailedSignal("the recorder stalled"); });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_EQ(checked(), std::vector<bool>({false, true, false}));
    EXPECT_EQ(statusLine()->text(), "2 files finished, the last " + outputFile("REEL03", "SHOT03") +
                                        ". SHOT02 failed: the recorder stalled.");
}

TEST_F(WindowTransferTest, AFullDiskEndsTheBatchAtOnce) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return statuses()[1] == "cueing"; }, kWaitMs));
    emitFromThread(
        [](QIROSRTransfer &transfer) { emit transfer.transferFailedSignal("disk full: no space"); });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_EQ(statuses(), QStringList({"finished (verified)", "failed: disk full: no space", "skipped"}));
    EXPECT_FALSE(QFile::exists(outputFile("REEL03", "SHOT03")));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].endedEarly(), "disk full: no space");
    EXPECT_EQ(dialogs->summaries[0].clips().size(), 3u);
}

TEST_F(WindowTransferTest, StopAsksFirstAndNoKeepsTheTransferRunning) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    clickRow(1);
    pressStart();
    QIROSRTransfer *running = capture();
    dialogs->answers = {QMessageBox::No, QMessageBox::Yes};
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_TRUE(sameBox(dialogs->boxes[0], QMessageBox::Question, "Stop Transfer Dialog",
                        "Would you like to Stop This Transfer?", QMessageBox::Yes | QMessageBox::No));
    EXPECT_EQ(button()->text(), "Stop Transfer");
    EXPECT_EQ(capture(), running);

    pressStart();
    EXPECT_TRUE(idle());
    EXPECT_EQ(capture(), nullptr);
    EXPECT_TRUE(waitBoardReleased());
    EXPECT_EQ(checked(), std::vector<bool>({false, true, false}));
    EXPECT_EQ(statusLine()->text(), "No file finished. SHOT02 was stopped.");
    EXPECT_EQ(statuses(), QStringList({"", "stopped", ""}));
}

TEST_F(WindowTransferTest, YesStopsTheBatchWhenTheClipChangedWhileTheQuestionWasOpen) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    window->checkAllFiles();
    pressStart();
    ASSERT_EQ(statuses()[0], "cueing");
    dialogs->answers = {QMessageBox::Yes};
    // While the question is open the first clip finishes (its checks run beside the second) and the second
    // starts.
    dialogs->whileAsking = [&] {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return statuses()[0] == "finished (verified)" && statuses()[1] == "cueing"; }, kWaitMs));
    };
    pressStart();
    EXPECT_TRUE(idle());
    EXPECT_EQ(capture(), nullptr);
    EXPECT_EQ(statuses(), QStringList({"finished (verified)", "stopped", "skipped"}));
    EXPECT_EQ(checked(), std::vector<bool>({false, true, true}));
    QTest::qWait(200);
    EXPECT_TRUE(idle()) << "nothing started after the stop";
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].endedEarly(), "stopped by the user");
}

TEST_F(WindowTransferTest, StartChecksTheFolderTheBoardAndTheInput) {
    installThreeClips();
    open();
    // Nothing ticked and no folder: the folder is checked first.
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_TRUE(sameBox(dialogs->boxes[0], QMessageBox::Critical, "Folder Not Found", "no destination folder",
                        QMessageBox::Abort));
    dialogs->folder = manifest->filePath("missing");
    window->chooseDestinationFolder();
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(dialogs->boxes[1].text,
              "the destination folder " + manifest->filePath("missing") + " does not exist");

    // A folder but nothing ticked: nothing visible happens.
    QDir().mkpath(manifest->filePath("out"));
    dialogs->folder = manifest->filePath("out");
    window->chooseDestinationFolder();
    pressStart();
    EXPECT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_TRUE(idle());

    clickRow(0);
    {
        windowtest::OtherApplication other;
        pressStart();
        ASSERT_EQ(dialogs->boxes.size(), 3u);
        EXPECT_TRUE(
            sameBox(dialogs->boxes[2], QMessageBox::Critical, "Board In Use",
                    "<p>The QIRO Capture Device is in use by another Application. Quit other application "
                    "and try again",
                    QMessageBox::Abort));
        EXPECT_EQ(capture(), nullptr);
    }
    EXPECT_TRUE(idle());
    EXPECT_EQ(statusLine()->text(), "No file finished. " + model()->item(0, 0)->text() +
                                        " failed: the capture board is in use by another application.");
    EXPECT_TRUE(dialogs->summaries.empty()) << "the box told it: nothing had started";
}

TEST_F(WindowTransferTest, ClipsThatDoNotFitOnTheDiskAreRefusedBeforeAnythingStarts) {
    installThreeClips();
    openWithFolder();
    window->checkAllFiles();
    setFreeSpaceProbe([](const QString &) { return std::optional<uint64_t>(1'000'000); });
    pressStart();
    setFreeSpaceProbe({});
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].text.toStdString(),
              "not enough disk space: the transfer needs 56.9 MB, 1.0 MB free at " +
                  manifest->filePath("out").toStdString());
    EXPECT_TRUE(sameBox(dialogs->boxes[0], QMessageBox::Critical, "Not Enough Disk Space",
                        dialogs->boxes[0].text, QMessageBox::Abort));
    EXPECT_TRUE(idle());
    EXPECT_EQ(capture(), nullptr);
    EXPECT_EQ(checked(), std::vector<bool>(3, true));
    EXPECT_FALSE(QDir(manifest->filePath("out/REEL01")).exists());
}

TEST_F(WindowTransferTest, InvalidInputKeepsOneSetOfConnections) {
    install(QJsonArray{transfertest::clip("SHOT01", 12, 0, 2, false)}, QJsonObject{{"sdiConnected", false}});
    openWithFolder();
    clickRow(0);
    pressStart();
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_TRUE(sameBox(dialogs->boxes[1], QMessageBox::Critical, "Invalid Input", kInvalidInput,
                        QMessageBox::Abort));
    EXPECT_TRUE(idle());
    ASSERT_NE(capture(), nullptr);

    // One queued call per report reaches the window, however often it was started.
    windowtest::EventLog calls;
    window->installEventFilter(&calls);
    emitFromThread([](QIROSRTransfer &transfer) { emit transfer.percentTransferCompleteSignal(40); });
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(calls.seen.begin(), calls.seen.end(), QEvent::MetaCall), 1);
}

TEST_F(WindowTransferTest, ClosingDuringATransferStopsItCleanly) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    clickRow(1);
    child<QComboBox>("transferModeSelector")->setCurrentIndex(1);
    pressStart();
    ASSERT_NE(capture(), nullptr);
    ASSERT_TRUE(capture()->isRunning());
    window.reset();
    EXPECT_TRUE(waitBoardReleased());
    const QSettings settings("QIRO Video", "QIRO Vantrel");
    EXPECT_EQ(settings.value("TransferModeIndex"), 1);
    EXPECT_EQ(settings.value("DestinationFolder"), manifest->filePath("out"));
}

} // namespace
