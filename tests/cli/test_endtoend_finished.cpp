// What a finished file leaves beside it over several runs: a re-transfer that writes fewer companions leaves
// none of the older set, a resumed batch skips the files that agree with their reports, two clips that would
// share a file are refused before anything starts, `verify` names the companion that disagrees, and a naming
// template places every file, its companions, its skip and its leftovers.

#include "tests/cli/TransferTool.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using clitest::transferTool;

QJsonObject shortClip(const QString &name) {
    QJsonObject clip = testsupport::clipJson(name, 8);
    clip["codec"] = 2;
    clip["soundChannels"] = 2;
    return clip;
}

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
    const clitest::Run run = transfer({"--name", naming, "--all"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QString folder = destination.filePath("SRMEDIA/2012-07-15/REEL01_01-00-00-00");
    EXPECT_EQ(run.out, folder + "/1-SHOT01.mxf\n" + folder + "/2-SHOT02.mxf\n");
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

} // namespace
