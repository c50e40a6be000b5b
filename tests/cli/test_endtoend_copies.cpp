// Copies to several destinations from one play-out: every clip lands byte for byte the same in each folder,
// with its own report, companions and history; a copy that cannot be written fails alone and the exit status
// says so; folders that overlap are refused before anything starts.

#include "tests/cli/TransferTool.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using clitest::transferTool;
using testsupport::shortClip;

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList otherCopiesIn(const QString &report) {
    QStringList others;
    for (const QJsonValue &other :
         QJsonDocument::fromJson(fileBytes(report)).object()["otherCopies"].toArray())
        others << other["file"].toString() + ": " + other["outcome"].toString();
    return others;
}

class CopiesE2e : public ::testing::Test {
protected:
    clitest::Run transfer(const QStringList &arguments) {
        return transferTool(QStringList{"transfer", "--dest", first.path(), "--dest", second.path()} +
                                arguments,
                            manifest.path());
    }

    testsupport::TempManifest manifest{testsupport::manifestWith({shortClip("SHOT01"), shortClip("SHOT02")})};
    QTemporaryDir first, second;
};

TEST_F(CopiesE2e, EveryClipLandsTheSameInEachFolderWithItsOwnReportAndHistory) {
    const clitest::Run run = transfer({"--framemd5", "--all"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QStringList printed = run.out.split('\n', Qt::SkipEmptyParts);
    printed.sort();
    QStringList expected{first.filePath("REEL01/SHOT01.mxf"), first.filePath("REEL01/SHOT02.mxf"),
                         second.filePath("REEL01/SHOT01.mxf"), second.filePath("REEL01/SHOT02.mxf")};
    expected.sort();
    EXPECT_EQ(printed.join('\n').toStdString(), expected.join('\n').toStdString());
    for (const QString clip : {"REEL01/SHOT01", "REEL01/SHOT02"}) {
        const QByteArray file = fileBytes(first.filePath(clip + ".mxf"));
        ASSERT_FALSE(file.isEmpty());
        EXPECT_TRUE(file == fileBytes(second.filePath(clip + ".mxf"))) << clip.toStdString();
        EXPECT_EQ(fileBytes(first.filePath(clip + ".framemd5")),
                  fileBytes(second.filePath(clip + ".framemd5")));
        EXPECT_EQ(otherCopiesIn(first.filePath(clip + ".json")),
                  QStringList{second.filePath(clip + ".mxf") + ": finished"});
        EXPECT_EQ(otherCopiesIn(second.filePath(clip + ".json")),
                  QStringList{first.filePath(clip + ".mxf") + ": finished"});
    }
    EXPECT_TRUE(
        run.err.contains("SHOT02: copy 2 of 2, " + second.filePath("REEL01/SHOT02.mxf") + ": finished"))
        << run.err.toStdString();
    for (const QTemporaryDir *root : {&first, &second}) {
        const clitest::Run check = transferTool({"verify", "--no-record", root->path()});
        EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
    }
}

// A copy that cannot be written (its finished file is there and replacing it was not asked for) fails that
// copy only: the other is finished and recorded, and the run exits 1.
TEST_F(CopiesE2e, ACopyThatFailsFailsAloneAndTheRunSaysSo) {
    ASSERT_TRUE(QDir(second.path()).mkpath("REEL01"));
    QFile existing(second.filePath("REEL01/SHOT01.mxf"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("an older file");
    existing.close();
    const clitest::Run run = transfer({"SHOT01"});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), first.filePath("REEL01/SHOT01.mxf"));
    EXPECT_TRUE(run.err.contains("SHOT01: copy 2 of 2, " + second.filePath("REEL01/SHOT01.mxf") +
                                 ": failed: " + second.filePath("REEL01/SHOT01.mxf") + " exists already"))
        << run.err.toStdString();
    EXPECT_EQ(fileBytes(second.filePath("REEL01/SHOT01.mxf")), "an older file");
    EXPECT_EQ(transferTool({"verify", "--no-record", first.path()}).status, 0);
    EXPECT_FALSE(QDir(second.filePath("ascmhl")).exists()) << "nothing finished there, nothing recorded";
}

TEST_F(CopiesE2e, FoldersThatOverlapAreRefusedBeforeAnythingStarts) {
    ASSERT_TRUE(QDir(first.path()).mkpath("inner"));
    const clitest::Run run = transferTool(
        {"transfer", "--dest", first.path(), "--dest", first.filePath("inner"), "--all"}, manifest.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("lies inside")) << run.err.toStdString();
    EXPECT_EQ(QDir(first.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"inner"});
}

} // namespace
