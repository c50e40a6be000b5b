// What a finished file leaves beside it over several runs: a re-transfer that writes fewer companions leaves
// none of the older set, a resumed batch skips the files that agree with their reports, two clips that would
// share a file are refused before anything starts, `verify` names the companion that disagrees, the
// completion hooks see each clip and the batch as they ended without changing what was written, and a
// naming template places every file, its companions, its skip and its leftovers.

#include "tests/cli/TransferTool.h"
#include "tests/support/Eventually.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <map>

namespace {

using clitest::transferTool;
using testsupport::shortClip;

class FinishedFileE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(destination.isValid()); }
    clitest::Run transfer(QStringList arguments) {
        arguments.prepend(destination.path());
        arguments.prepend("--dest");
        arguments.prepend("transfer");
        return transferTool(arguments, manifest.path());
    }
    QString path(const QString &name) const { return destination.filePath("REEL01/" + name); }
    QStringList files() const {
        return QDir(destination.filePath("REEL01")).entryList(QDir::Files, QDir::Name);
    }

    testsupport::TempManifest manifest{testsupport::manifestWith({shortClip("SHOT01"), shortClip("SHOT02")})};
    QTemporaryDir destination;
};

TEST_F(FinishedFileE2e, AReTransferWithFewerCompanionsLeavesNoneOfTheOlderSet) {
    const clitest::Run first = transfer({"--framemd5", "SHOT01"});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(files(), QStringList({"SHOT01.framemd5", "SHOT01.json", "SHOT01.mxf", "SHOT01.mxf.sha256"}));
    const clitest::Run again = transfer({"--overwrite", "SHOT01"});
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(files(), QStringList({"SHOT01.json", "SHOT01.mxf", "SHOT01.mxf.sha256"}));
    const clitest::Run verify = transferTool({"verify", path("SHOT01.mxf")});
    EXPECT_EQ(verify.status, 0) << verify.err.toStdString();
}

TEST_F(FinishedFileE2e, AResumedBatchSkipsTheFilesThatAgreeWithTheirReports) {
    ASSERT_EQ(transfer({"SHOT01"}).status, 0);
    const QDateTime written = QFileInfo(path("SHOT01.mxf")).lastModified();

    const clitest::Run resumed = transfer({"--skip-existing", "--all"});
    EXPECT_EQ(resumed.status, 0) << resumed.err.toStdString();
    EXPECT_TRUE(resumed.err.contains("SHOT01: skipped: " + path("SHOT01.mxf") + " is finished and agrees"))
        << resumed.err.toStdString();
    EXPECT_EQ(resumed.out, path("SHOT02.mxf") + "\n");
    EXPECT_EQ(QFileInfo(path("SHOT01.mxf")).lastModified(), written);

    // A file cut short no longer agrees with its report: it is not skipped, and not replaced unasked.
    QFile file(path("SHOT01.mxf"));
    ASSERT_TRUE(file.resize(file.size() - 1));
    const clitest::Run cut = transfer({"--skip-existing", "--all"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(
        cut.err.contains("SHOT01: failed: " + path("SHOT01.mxf") + " exists already and does not agree"))
        << cut.err.toStdString();
    EXPECT_TRUE(cut.err.contains("SHOT02: skipped")) << cut.err.toStdString();
}

TEST_F(FinishedFileE2e, ClipsThatWouldShareAFileAreRefusedBeforeAnyStarts) {
    manifest.rewrite(testsupport::manifestWith({shortClip("A/B"), shortClip("A_B")}));
    const clitest::Run run = transfer({"--all"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("the clips \"REEL01/A/B\" and \"REEL01/A_B\" would both be written to " +
                                 path("A_B.mxf")))
        << run.err.toStdString();
    EXPECT_EQ(QDir(destination.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(FinishedFileE2e, ANamingTemplatePlacesEachFileAndWhatFollowsIt) {
    const QString naming = "{volume}/{date}/{reel}_{start}/{index}-{clip}";
    const clitest::Run run = transfer(
        {"--name", naming, "--all", "--on-clip-done", "echo \"file $VANTREL_FILE report $VANTREL_REPORT\""});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QString folder = destination.filePath("SRMEDIA/2012-07-15/REEL01_01-00-00-00");
    EXPECT_EQ(run.out, folder + "/1-SHOT01.mxf\n" + folder + "/2-SHOT02.mxf\n");
    // The completion hook is told where the template put the file and its report.
    EXPECT_TRUE(run.err.contains("[REEL01/SHOT02] file " + folder + "/2-SHOT02.mxf report " + folder +
                                 "/2-SHOT02.json\n"))
        << run.err.toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name),
              QStringList({"1-SHOT01.json", "1-SHOT01.mxf", "1-SHOT01.mxf.sha256", "2-SHOT02.json",
                           "2-SHOT02.mxf", "2-SHOT02.mxf.sha256"}));
    EXPECT_EQ(transferTool({"verify", folder + "/2-SHOT02.mxf"}).status, 0);

    // A resumed batch finds its files, and leftovers, where the template put them.
    QFile(folder + "/OLD.mxf.part").open(QIODevice::WriteOnly);
    const clitest::Run resumed = transfer({"--name", naming, "--skip-existing", "--all"});
    EXPECT_EQ(resumed.status, 0) << resumed.err.toStdString();
    EXPECT_TRUE(resumed.err.contains("SHOT02: skipped: " + folder + "/2-SHOT02.mxf is finished"))
        << resumed.err.toStdString();
    EXPECT_TRUE(resumed.err.contains(folder + "/OLD.mxf.part is left over")) << resumed.err.toStdString();

    const clitest::Run together = transfer({"--name", "{reel}", "--all"});
    EXPECT_EQ(together.status, 1);
    EXPECT_TRUE(together.err.contains("would both be written to " + destination.filePath("REEL01.mxf")))
        << together.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(destination.filePath("REEL01.mxf.part")));
    EXPECT_EQ(transfer({"--name", "{reel}/{take}", "--all"}).status, 2);
}

TEST_F(FinishedFileE2e, VerifyNamesTheCompanionThatDisagrees) {
    ASSERT_EQ(transfer({"--framemd5", "SHOT01"}).status, 0);
    const auto verify = [this] { return transferTool({"verify", path("SHOT01.mxf")}); };
    ASSERT_EQ(verify().status, 0) << verify().err.toStdString();

    QFile list(path("SHOT01.framemd5"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    QByteArray lines = list.readAll();
    list.close();
    const QByteArray original = lines;
    lines[lines.lastIndexOf('\n') - 1] = lines[lines.lastIndexOf('\n') - 1] == '0' ? '1' : '0';
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write(lines);
    list.close();
    clitest::Run run = verify();
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("of the framemd5 list " + path("SHOT01.framemd5") + " disagrees"))
        << run.err.toStdString();

    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write(original);
    list.close();
    QFile sums(path("SHOT01.mxf.sha256"));
    ASSERT_TRUE(sums.open(QIODevice::ReadOnly));
    const QByteArray line = sums.readAll().replace("SHOT01.mxf", "SHOT02.mxf");
    sums.close();
    ASSERT_TRUE(sums.open(QIODevice::WriteOnly | QIODevice::Truncate));
    sums.write(line);
    sums.close();
    run = verify();
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("the SHA-256 file " + path("SHOT01.mxf.sha256") + " names SHOT02.mxf"))
        << run.err.toStdString();
}

// Each hook writes its variables and the digests of what it was given into a folder of its own.
TEST_F(FinishedFileE2e, HooksSeeEachClipAndTheBatchAndTheirFailuresChangeNoFile) {
    QTemporaryDir hooks;
    ASSERT_TRUE(hooks.isValid());
    const auto hookFile = [&hooks](const QString &name) {
        QFile file(hooks.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const auto variables = [&](const QString &name) {
        std::map<QString, QString> found;
        for (const QString &line : hookFile(name).split('\n'))
            if (line.startsWith("VANTREL_") && !line.startsWith("VANTREL_SIM_"))
                found[line.section('=', 0, 0)] = line.section('=', 1);
        return found;
    };
    const QString folder = hooks.path();
    const clitest::Run run = transfer(
        {"--on-clip-done",
         "env > '" + folder + "/'\"$VANTREL_CLIP.env\"; sha256sum \"$VANTREL_FILE\" \"$VANTREL_REPORT\" > '" +
             folder + "/'\"$VANTREL_CLIP.sums\"; ls \"$VANTREL_DEST/REEL01\" > '" + folder +
             "/'\"$VANTREL_CLIP.ls\"; "
             "echo \"done $VANTREL_CLIP\"; exit 3",
         "--on-batch-done", "env > '" + folder + "/batch.env'", "--all"});
    EXPECT_EQ(run.status, 1);
    for (const QString clip : {"SHOT01", "SHOT02"}) {
        EXPECT_TRUE(run.err.contains(QString("[REEL01/%1] done %1\n").arg(clip))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(
            QString("REEL01/%1: hook --on-clip-done failed: exited with status 3").arg(clip)));
        const std::map<QString, QString> got = variables(clip + ".env");
        EXPECT_EQ(got, (std::map<QString, QString>{{"VANTREL_CLIP", clip},
                                                   {"VANTREL_DEST", destination.path()},
                                                   {"VANTREL_FILE", path(clip + ".mxf")},
                                                   {"VANTREL_REASON", ""},
                                                   {"VANTREL_REEL", "REEL01"},
                                                   {"VANTREL_REPORT", path(clip + ".json")},
                                                   {"VANTREL_STATUS", "finished"}}));
        // What the hook saw is what stays: the failure rewrote neither file nor report.
        const clitest::Run sums =
            clitest::run("sha256sum", {path(clip + ".mxf"), path(clip + ".json")}, std::chrono::seconds(10));
        EXPECT_EQ(sums.out, hookFile(clip + ".sums"));
        // The next clip waits for the hook: nothing of it was there yet.
        EXPECT_EQ(hookFile(clip + ".ls").contains("SHOT02"), clip == "SHOT02");
    }
    const std::map<QString, QString> batch = variables("batch.env");
    EXPECT_EQ(batch.at("VANTREL_BATCH_STATUS"), "finished");
    EXPECT_EQ(batch.at("VANTREL_FINISHED"), "2");
    EXPECT_EQ(batch.at("VANTREL_SKIPPED"), "0");
    EXPECT_EQ(batch.at("VANTREL_FAILED"), "0");
    EXPECT_EQ(transferTool({"verify", path("SHOT01.mxf")}).status, 0);

    // A clip skipped, one that fails (its file no longer agrees), and a batch hook that outlives its limit.
    QFile cut(path("SHOT02.mxf"));
    ASSERT_TRUE(cut.resize(cut.size() - 1));
    const clitest::Run again = transfer(
        {"--on-clip-done", "echo \"$VANTREL_STATUS:$VANTREL_FILE:$VANTREL_REASON\"", "--on-batch-done",
         "echo \"$VANTREL_BATCH_STATUS $VANTREL_FINISHED $VANTREL_SKIPPED $VANTREL_FAILED\"; sleep 30",
         "--hook-timeout", "1", "--skip-existing", "--all"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(again.err.contains("[REEL01/SHOT01] skipped:" + path("SHOT01.mxf") + ":\n"))
        << again.err.toStdString();
    EXPECT_TRUE(again.err.contains("[REEL01/SHOT02] failed::" + path("SHOT02.mxf") + " exists already"));
    EXPECT_TRUE(again.err.contains("[batch] failed 1 1 1\n"));
    EXPECT_TRUE(
        again.err.contains("batch: hook --on-batch-done failed: did not end within 1 s and was killed"));
}

// Ctrl+C while a clip's hook runs kills the hook with what it forked; the batch stops as it does without
// hooks, and the batch hook still tells that it was stopped.
TEST_F(FinishedFileE2e, AnInterruptWhileAHookRunsKillsItAndStopsTheBatch) {
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("VANTREL_SIM_MEDIA");
    environment.remove("VANTREL_SIM_SPEED");
    tool.setProcessEnvironment(environment);
    tool.setReadChannel(QProcess::StandardError);
    tool.start(VANTREL_TRANSFER_TOOL,
               {"--speed", "max", "--media", manifest.path(), "transfer", "--dest", destination.path(),
                "--all", "--on-clip-done", "sleep 30 & echo \"child $!\"; wait", "--on-batch-done",
                "echo \"batch $VANTREL_BATCH_STATUS\""});
    QString err;
    const QRegularExpression started("\\[REEL01/SHOT01\\] child (\\d+)\n");
    while (!started.match(err).hasMatch() && tool.waitForReadyRead(30000))
        err += QString::fromUtf8(tool.readAllStandardError());
    const QString child = started.match(err).captured(1);
    ASSERT_FALSE(child.isEmpty()) << err.toStdString();
    ::kill(pid_t(tool.processId()), SIGINT);
    ASSERT_TRUE(tool.waitForFinished(30000));
    err += QString::fromUtf8(tool.readAllStandardError());
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(err.contains("REEL01/SHOT01: hook --on-clip-done failed: was stopped")) << err.toStdString();
    EXPECT_TRUE(err.contains("SHOT02: failed: stopped"));
    EXPECT_TRUE(err.contains("[batch] batch stopped\n"));
    EXPECT_FALSE(err.contains("[REEL01/SHOT02]"));
    // Gone, or a zombie that the process that inherited it has yet to reap.
    EXPECT_TRUE(testsupport::eventually(
        [&child] {
            QFile stat("/proc/" + child + "/stat");
            return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        },
        std::chrono::seconds(10)));
    EXPECT_TRUE(QFileInfo::exists(path("SHOT01.mxf")));
}

} // namespace
