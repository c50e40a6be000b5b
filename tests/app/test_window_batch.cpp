// A batch of the window left to run unattended: failures that do not end it, the Status column, the summary
// at its end, its log, the cue time-out, leftovers of earlier runs, the checks before it starts, and a clip
// list the recorder broke off.

#include "app/BatchSummaryDialog.h"
#include "app/QIROSRTransferWidget.h"
#include "capture/QIROSRTransfer.h"
#include "mhl/History.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/RecordingDurabilityCalls.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <atomic>
#include <thread>

namespace {

using windowtest::WindowTest;
using Outcome = BatchReport::Outcome;

class WindowBatchTest : public WindowTest {
protected:
    QIROSRTransfer *capture() { return child<QIROSRTransferWidget>("preview")->capture(); }
    // Emits a drop of the running capture object from another thread and waits for the next try.
    void dropAndWaitForTheNextTry() {
        QIROSRTransfer *transfer = capture();
        ASSERT_NE(transfer, nullptr);
        // Destroyed off the GUI thread; the next try starts once it is gone.
        std::atomic<bool> replaced = false;
        QObject::connect(transfer, &QObject::destroyed, [&] { replaced = true; });
        std::thread([transfer] { emit transfer->droppedFrameSignal(); }).join();
        ASSERT_TRUE(QTest::qWaitFor([&] { return replaced && (capture() != nullptr || idle()); }, kWaitMs));
    }
    // The lines of the batch's log, without their time stamps.
    QStringList logLines() {
        const QStringList logs = QDir(manifest->filePath("out")).entryList({"vantrel-*.log"}, QDir::Files);
        EXPECT_EQ(logs.size(), 1);
        QFile log(manifest->filePath("out/" + logs.value(0)));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        for (QString &line : lines)
            line = line.mid(20);
        return lines;
    }
};

// The second clip drops a frame on every try and the third never plays: both fail with their reasons, the
// batch goes on and finishes, and no box opens until the summary.
TEST_F(WindowBatchTest, AnUnattendedBatchGoesOnPastFailedClipsAndSumsThemUp) {
    const QJsonObject never{{"neverPlays", true}};
    install(QJsonArray{
        transfertest::clip("SHOT01", 12, 0, 2, false),
        transfertest::clip("SHOT02", 12, 2, 2, false, {{"faults", never}}),
        transfertest::clip("SHOT03", 12, 2, 2, false, {{"faults", never}, {"secondName", "REEL03"}}),
        transfertest::clip("SHOT04", 12, 1, 2, false, {{"secondName", "REEL04"}})});
    openWithFolder();
    child<QSpinBox>("cueTimeoutBox")->setValue(2);
    QDir().mkpath(manifest->filePath("out/REEL09"));
    const QString leftover = manifest->filePath("out/REEL09/OLD.mxf.part");
    QFile(leftover).open(QIODevice::WriteOnly);
    window->checkAllFiles();
    pressStart();
    EXPECT_TRUE(statusLine()->text().startsWith("Left over from earlier transfers that did not complete: " +
                                                leftover + "\nTransferring SHOT01 (clip 1 of 4), about "))
        << statusLine()->text().toStdString();
    // The first clip is checked while the second cues, which lasts the cue time-out.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return statuses()[0] == "finished (verified)" && statuses()[1] == "cueing"; }, kWaitMs));
    EXPECT_EQ(statuses(), QStringList({"finished (verified)", "cueing", "queued", "queued"}));
    EXPECT_TRUE(statusLine()->text().contains("Transferring SHOT02 (clip 2 of 4)"));
    for (int drop = 0; drop <= RestartBudget::kDefaultRestarts; ++drop)
        ASSERT_NO_FATAL_FAILURE(dropAndWaitForTheNextTry());
    ASSERT_TRUE(waitIdle());

    EXPECT_TRUE(dialogs->boxes.empty());
    const QString dropped = "frames were dropped on every try; gave up after 3 restarts";
    const QString cue = "cue timeout: the recorder's play-out gave no payload block within 2 s: it never "
                        "started, or the card delivers no pictures";
    EXPECT_EQ(statuses(), QStringList({"finished (verified)", "failed: " + dropped, "failed: " + cue,
                                       "finished (verified)"}));
    EXPECT_EQ(model()->item(2, Vantrel::kStatusColumn)->toolTip(), cue);
    EXPECT_EQ(checked(), std::vector<bool>({false, true, true, false}));
    EXPECT_TRUE(QFile::exists(outputFile("REEL04", "SHOT04")));
    EXPECT_EQ(statusLine()->text(), "2 files finished, the last " + outputFile("REEL04", "SHOT04") +
                                        ". SHOT02 failed: " + dropped + ". SHOT03 failed: " + cue +
                                        ". 1 in-progress file left over from earlier transfers.");

    ASSERT_EQ(dialogs->summaries.size(), 1u);
    const BatchReport &summary = dialogs->summaries[0];
    ASSERT_EQ(summary.clips().size(), 4u);
    const std::vector<std::pair<QString, Outcome>> expected{{"SHOT01", Outcome::Finished},
                                                            {"SHOT02", Outcome::Failed},
                                                            {"SHOT03", Outcome::Failed},
                                                            {"SHOT04", Outcome::Finished}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(summary.clips()[i].name, expected[i].first);
        EXPECT_EQ(summary.clips()[i].outcome, expected[i].second);
    }
    EXPECT_EQ(summary.clips()[0].files.value(0), outputFile("REEL01", "SHOT01"));
    EXPECT_EQ(summary.clips()[1].reason, dropped);
    EXPECT_EQ(summary.clips()[1].restarts, 3);
    EXPECT_EQ(summary.clips()[2].reason, cue);
    EXPECT_EQ(summary.leftovers(), QStringList({leftover}));
    EXPECT_TRUE(summary.endedEarly().isEmpty());

    const QString out = manifest->filePath("out");
    // The first clip's checks end while the second starts: the two lines come in either order.
    QStringList lines = logLines();
    const qsizetype finished = lines.indexOf("SHOT01: finished: " + outputFile("REEL01", "SHOT01"));
    if (finished >= 1 && lines[finished - 1] == "SHOT02: started")
        lines.swapItemsAt(finished - 1, finished);
    EXPECT_EQ(lines, QStringList({"batch started: 4 clip(s) into " + out,
                                  "left over from an earlier transfer that did not complete: " + leftover,
                                  "SHOT01: started", "SHOT01: finished: " + outputFile("REEL01", "SHOT01"),
                                  "SHOT02: started", "SHOT02: restart 1 of 3: a frame was dropped",
                                  "SHOT02: restart 2 of 3: a frame was dropped",
                                  "SHOT02: restart 3 of 3: a frame was dropped", "SHOT02: failed: " + dropped,
                                  "SHOT03: started", "SHOT03: failed: " + cue, "SHOT04: started",
                                  "SHOT04: finished: " + outputFile("REEL04", "SHOT04"),
                                  "batch ended: 2 of 4 clip(s) finished"}));
}

// The commands run when a clip and when the batch are done: the next clip waits for the first, the second
// gets the batch's counts before the summary opens, and a failed one shows in the Status cell, the log and
// the summary without changing the clip's outcome. Both are kept between runs.
// Sound that arrived short and was padded, and a folder that could not be synced once the file was in place:
// the clip is finished all the same, with a warning mark, and its tool tip, the log and the summary tell
// both.
TEST_F(WindowBatchTest, AFinishedClipsWarningsMarkItsStatusAndReachTheLogAndTheSummary) {
    install(QJsonArray{
        transfertest::clip("SHORT", 8, 2, 2, false,
                           {{"faults", QJsonObject{{"shortSoundAt", 2}, {"shortSoundSamples", 7}}}}),
        transfertest::clip("PLAIN", 4, 2, 2, false, {{"secondName", "REEL02"}})});
    openWithFolder();
    // SHORT's folder is synced five times: the last, after its file took its final name, fails.
    testsupport::RecordingDurabilityCalls durability(manifest->filePath("out"));
    durability.failing = "sync REEL01";
    durability.failWith = EIO;
    durability.failFrom = 5;
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(statuses(), QStringList(2, "finished (verified)"));
    const QString file = outputFile("REEL01", "SHORT");
    const QString padded =
        "the sound of 1 frame arrived short and was padded with silence (damagedFrames in its report)";
    const QString unsynced = "finished, but the folder could not be synced: " + file + ": ";
    const QStandardItem *marked = model()->item(0, Vantrel::kStatusColumn);
    EXPECT_FALSE(marked->icon().isNull());
    const QStringList tip = marked->toolTip().split('\n');
    EXPECT_EQ(tip.value(0), file);
    EXPECT_TRUE(tip.contains(padded)) << marked->toolTip().toStdString();
    EXPECT_EQ(tip.filter(unsynced).size(), 1) << marked->toolTip().toStdString();
    EXPECT_TRUE(model()->item(1, Vantrel::kStatusColumn)->icon().isNull());

    const QStringList log = logLines();
    EXPECT_TRUE(log.contains("SHORT: warning: " + padded)) << log.join('\n').toStdString();
    EXPECT_EQ(log.filter("SHORT: warning: " + unsynced).size(), 1) << log.join('\n').toStdString();
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    const BatchReport &summary = dialogs->summaries[0];
    ASSERT_EQ(summary.clips().size(), 2u);
    EXPECT_EQ(summary.clips()[0].warnings.size(), 2);
    EXPECT_TRUE(summary.clips()[0].warnings.contains(padded));
    EXPECT_TRUE(summary.clips()[1].warnings.isEmpty());
    EXPECT_TRUE(statusLine()->text().contains("SHORT: warning: " + padded + "."))
        << statusLine()->text().toStdString();
}

TEST_F(WindowBatchTest, HooksRunBetweenClipsAndAFailedOneShowsInStatusLogAndSummary) {
    install(QJsonArray{transfertest::clip("SHOT01", 12, 0, 2, false),
                       transfertest::clip("SHOT02", 12, 1, 2, false)});
    openWithFolder();
    const QString notes = manifest->filePath("hooks.txt");
    const QString clipCommand =
        "echo \"$VANTREL_CLIP $VANTREL_STATUS $(ls \"$VANTREL_DEST/REEL01\" | grep -c "
        "^SHOT02)\" >> '" +
        notes + "'; echo said; [ \"$VANTREL_CLIP\" != SHOT01 ] || exit 3";
    child<QLineEdit>("clipDoneCommand")->setText(clipCommand);
    // The batch's command also counts the manifests of the folder's ASC MHL history, written before it runs.
    child<QLineEdit>("batchDoneCommand")
        ->setText("echo \"batch $VANTREL_BATCH_STATUS $VANTREL_FINISHED $VANTREL_FAILED $(ls "
                  "\"$VANTREL_DEST/ascmhl\" | grep -c 'mhl$')\" >> '" +
                  notes + "'");
    child<QCheckBox>("md5Box")->setChecked(true);
    child<QLineEdit>("authorEdit")->setText("Dana Reel");
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());

    QFile written(notes);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    // Each clip's hook ran before the next clip's file was begun.
    EXPECT_EQ(written.readAll(), "SHOT01 finished 0\nSHOT02 finished 3\nbatch finished 2 0 1\n");
    EXPECT_EQ(statuses(), QStringList({"finished (verified); its command failed", "finished (verified)"}));
    EXPECT_TRUE(model()
                    ->item(0, Vantrel::kStatusColumn)
                    ->toolTip()
                    .endsWith("\nThe command run when a clip is done exited with status 3"));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].hookProblems(),
              QStringList({"the command run for SHOT01 exited with status 3"}));
    EXPECT_EQ(dialogs->summaries[0].finishedCount(), 2);
    // The history lists both clips' files, each with its MD5, and names the author.
    const mhl::History history = mhl::loadHistory(manifest->filePath("out"));
    EXPECT_TRUE(history.problems.isEmpty()) << history.problems.join("; ").toStdString();
    ASSERT_EQ(history.generations.size(), 1u);
    EXPECT_EQ(dialogs->summaries[0].hashList(),
              manifest->filePath("out/ascmhl/" + history.generations[0].fileName));
    const mhl::Generation &generation = history.generations[0].generation;
    EXPECT_EQ(generation.author, "Dana Reel");
    ASSERT_EQ(generation.files.size(), 6u);
    EXPECT_EQ(generation.files[3].path, "REEL01/SHOT02.mxf");
    EXPECT_EQ(generation.files[3].hashes.size(), 2u) << "md5 and xxh128";
    const QStringList lines = logLines();
    EXPECT_TRUE(lines.contains("[REEL01/SHOT01] said"));
    EXPECT_TRUE(lines.contains("SHOT01: hook when a clip is done failed: exited with status 3"));

    window.reset();
    open();
    EXPECT_EQ(child<QLineEdit>("clipDoneCommand")->text(), clipCommand);
    EXPECT_TRUE(child<QCheckBox>("md5Box")->isChecked());
    EXPECT_EQ(child<QLineEdit>("authorEdit")->text(), "Dana Reel");
}

// "Stop Transfer" while a clip's command runs kills it with what it forked and stops the batch; the batch's
// command still runs and is told that the batch was stopped.
TEST_F(WindowBatchTest, StopWhileAHookRunsKillsItAndStopsTheBatch) {
    install(QJsonArray{transfertest::clip("SHOT01", 12, 0, 2, false),
                       transfertest::clip("SHOT02", 12, 1, 2, false)});
    openWithFolder();
    const QString pidFile = manifest->filePath("child");
    const QString notes = manifest->filePath("batch.txt");
    child<QLineEdit>("clipDoneCommand")->setText("sleep 30 & echo $! > '" + pidFile + "'; wait");
    child<QLineEdit>("batchDoneCommand")
        ->setText("echo \"$VANTREL_BATCH_STATUS $VANTREL_FINISHED\" > '" + notes + "'");
    window->checkAllFiles();
    pressStart();
    const auto read = [](const QString &name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return read(pidFile).endsWith('\n'); }, kWaitMs));
    EXPECT_FALSE(idle());
    dialogs->answers = {QMessageBox::Yes};
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(read(notes), "stopped 1\n");
    EXPECT_EQ(statuses(), QStringList({"finished (verified); its command failed", "skipped"}));
    EXPECT_TRUE(model()->item(0, Vantrel::kStatusColumn)->toolTip().endsWith("was stopped"));
    EXPECT_FALSE(QFile::exists(outputFile("REEL01", "SHOT02")));
    // Gone, or a zombie that the process that inherited it has yet to reap.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QFile stat("/proc/" + read(pidFile).trimmed() + "/stat");
            return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        },
        kWaitMs));
}

TEST_F(WindowBatchTest, ClipsThatCannotBeTransferredAreRefusedBeforeTheStartAndTheRestMayGoAhead) {
    install(QJsonArray{transfertest::clip("SHOT01", 12, 0, 2, false),
                       transfertest::clip("EMPTY", 0, 0, 2, false),
                       transfertest::clip("SHOT03", 12, 0, 2, false, {{"secondName", "REEL03"}})});
    openWithFolder();
    window->checkAllFiles();
    dialogs->answers = {QMessageBox::Cancel};
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].title, "Clips Cannot Be Transferred");
    EXPECT_EQ(dialogs->boxes[0].text, "These clips cannot be transferred:\nEMPTY: the clip has no frames\n\n"
                                      "Transfer the other ticked clips?");
    EXPECT_EQ(dialogs->boxes[0].buttons, QMessageBox::Yes | QMessageBox::Cancel);
    EXPECT_TRUE(idle());
    EXPECT_EQ(capture(), nullptr);
    EXPECT_FALSE(QDir(manifest->filePath("out/REEL01")).exists());

    dialogs->answers = {QMessageBox::Yes};
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(statuses(),
              QStringList({"finished (verified)", "skipped: the clip has no frames", "finished (verified)"}));
    EXPECT_EQ(checked(), std::vector<bool>({false, true, false}));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    ASSERT_EQ(dialogs->summaries[0].clips().size(), 3u);
    EXPECT_EQ(dialogs->summaries[0].clips()[0].outcome, Outcome::Skipped);

    // Only clips that cannot be transferred: nothing starts.
    window->uncheckAllFiles();
    clickRow(1);
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 3u);
    EXPECT_EQ(dialogs->boxes[2].buttons, QMessageBox::Abort);
    EXPECT_TRUE(idle());
}

TEST_F(WindowBatchTest, AnIncompleteClipListKeepsWhatWasReadSaysSoAndOffersARescan) {
    install(QJsonArray{
        transfertest::clip("SHOT01", 12, 0, 2, false), transfertest::clip("SHOT02", 12, 0, 2, false),
        transfertest::clip("SHOT03", 12, 0, 2, false, {{"faults", QJsonObject{{"stopsAnswering", true}}}})});
    open();
    EXPECT_EQ(model()->rowCount(), 2);
    const QString incomplete = "The recorder's list is incomplete: 2 of 3 clips read. It stopped answering, "
                               "answered wrongly or stayed busy.";
    EXPECT_EQ(statusLine()->text(), incomplete);
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs->boxes[0].title, "Incomplete Clip List");
    EXPECT_EQ(dialogs->boxes[0].text, incomplete + " Rescan the recorder?");
    EXPECT_EQ(dialogs->boxes[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);

    // Retry reads the list again; the recorder stays silent now, and the window says so once more.
    dialogs->answers = {QMessageBox::Retry, QMessageBox::Cancel};
    window->reportIncompleteList();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs->boxes.size() == 3; }, kWaitMs));
    EXPECT_TRUE(dialogs->boxes[2].text.startsWith("The recorder's list is incomplete: 0 clips read."))
        << dialogs->boxes[2].text.toStdString();
}

TEST_F(WindowBatchTest, NoRescanWhileATransferRuns) {
    installThreeClips(QJsonObject{{"neverPlays", true}});
    openWithFolder();
    clickRow(1);
    clickRow(2);
    pressStart();
    ASSERT_FALSE(idle());
    window->getFileList();
    EXPECT_EQ(checked(), std::vector<bool>({false, true, true}));
    EXPECT_EQ(statuses(), QStringList({"", "cueing", "queued"}));
}

TEST_F(WindowBatchTest, TheSummaryListsEachClipWithItsOutcomeFilesAndFullReason) {
    BatchReport report;
    report.clipFinished("SHOT01", {"/out/REEL01/SHOT01.mxf", "/out/REEL01/SHOT01.json"}, 1);
    report.clipFailed("SHOT02", "cue timeout: no play-out");
    report.clipFinished("SHOT03", {"/out/REEL01/SHOT03.mxf"}, 0, {"sound padded", "folder not synced"});
    report.setLeftovers({"/out/REEL09/OLD.mxf.part"});
    report.setEndedEarly("stopped by the user");
    const BatchSummaryDialog dialog(report, "/out");
    const QTableWidget *table = dialog.clipTable();
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 1)->text(), "finished (verified) after 1 restart(s)");
    EXPECT_TRUE(table->item(0, 1)->icon().isNull());
    EXPECT_EQ(table->item(2, 1)->text(),
              "finished (verified)\nwarning: sound padded\nwarning: folder not synced");
    EXPECT_FALSE(table->item(2, 1)->icon().isNull());
    EXPECT_EQ(table->item(0, 2)->text(), "REEL01/SHOT01.mxf\nREEL01/SHOT01.json");
    EXPECT_EQ(table->item(0, 2)->toolTip(), "/out/REEL01/SHOT01.mxf\n/out/REEL01/SHOT01.json");
    EXPECT_EQ(table->item(1, 0)->text(), "SHOT02");
    EXPECT_EQ(table->item(1, 1)->toolTip(), "failed: cue timeout: no play-out");
    EXPECT_EQ(dialog.findChild<QLabel *>("summaryText")->text(),
              "2 of 3 clips finished.\nThe batch ended early: stopped by the user.\nLeft over from earlier "
              "transfers that did not complete (a new transfer of their clip replaces them): "
              "/out/REEL09/OLD.mxf.part");
    EXPECT_TRUE(dialog.findChild<QPushButton *>("openFolderButton")->isEnabled());
}

} // namespace
