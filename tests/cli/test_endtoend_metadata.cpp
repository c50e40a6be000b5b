// The operator's metadata through vantrel-transfer: --set and a metadata file end up in each file as user
// comments that FFmpeg reads back as comment_NAME tags (non-ASCII text intact), and in each report; the
// file still passes MediaInfo and the conformance check. A bad metadata file stops the run before any clip.

#include "tests/cli/TransferTool.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using clitest::transferTool;

// ffprobe's format tags of `path`.
QJsonObject formatTags(const QString &path) {
    return clitest::jsonOf("ffprobe", {"-v", "error", "-show_entries", "format_tags", "-of", "json", path})
        .object()["format"]
        .toObject()["tags"]
        .toObject();
}

TEST(MetadataE2e, PairsReachEachFilesUserCommentsAndReportWithPerClipValuesFirst) {
    const testsupport::TempManifest manifest(
        testsupport::manifestWith({testsupport::clipJson("SHOT01", 3), testsupport::clipJson("SHOT02", 3)}));
    manifest.writeFile("sheet.csv", "clip,Title,Scene\n"
                                    "SHOT01,\"Ÿsgol, \"\"dawn\"\" 日本\",12\n");
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--all", "--set", "Title=Untitled", "--set",
                      "Operator=Zoë", "--metadata", manifest.filePath("sheet.csv")},
                     manifest.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const QString first = destination.filePath("REEL01/SHOT01.mxf");
    const QJsonObject tags = formatTags(first);
    EXPECT_EQ(tags["comment_Title"].toString(), "Ÿsgol, \"dawn\" 日本");
    EXPECT_EQ(tags["comment_Operator"].toString(), "Zoë");
    EXPECT_EQ(tags["comment_Scene"].toString(), "12");
    EXPECT_EQ(formatTags(destination.filePath("REEL01/SHOT02.mxf"))["comment_Title"].toString(), "Untitled");

    QFile report(destination.filePath("REEL01/SHOT01.json"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(report.readAll())["metadata"].toObject(),
              (QJsonObject{{"Operator", "Zoë"}, {"Scene", "12"}, {"Title", "Ÿsgol, \"dawn\" 日本"}}));

    const clitest::Run check = transferTool({"check", first});
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
    const QJsonDocument info = clitest::jsonOf("mediainfo", {"--Output=JSON", first});
    EXPECT_EQ(info["media"]["track"][0]["Format"].toString(), "MXF");
}

TEST(MetadataE2e, AMetadataFileNamingAClipTheRecorderLacksStopsTheRunBeforeAnyClip) {
    const testsupport::TempManifest manifest(testsupport::manifestWith({testsupport::clipJson("SHOT01", 3)}));
    manifest.writeFile("sheet.csv", "clip,Title\nSHOT01,a\nSHOT09,b\n");
    QTemporaryDir destination;
    const clitest::Run run = transferTool(
        {"transfer", "--dest", destination.path(), "--all", "--metadata", manifest.filePath("sheet.csv")},
        manifest.path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "vantrel-transfer: " + manifest.filePath("sheet.csv") +
                           ":3: no clip named \"SHOT09\" on the recorder (see: vantrel-transfer list)\n");
    EXPECT_TRUE(QDir(destination.path()).isEmpty());
}

} // namespace
