// The transfer report as written and read back: every field, the checksums streamed without a copy (a long
// clip's report stage stays small in memory), and whether a finished file still agrees with its report and
// SHA-256 file, as a resumed batch judges it.

#include "mxf/DurableFile.h"
#include "verify/FileDigest.h"
#include "verify/TransferReport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <string>

namespace {

QJsonObject readJson(const QString &path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(file.readAll()).object();
}

void put(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The process's resident size and its peak since the last reset, in bytes (Linux).
struct Resident {
    int64_t now = 0, peak = 0;
};
Resident resident() {
    QFile status("/proc/self/status");
    Resident sizes;
    if (!status.open(QIODevice::ReadOnly))
        return sizes;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 2 && fields[0] == "VmRSS:")
            sizes.now = fields[1].toLongLong() * 1024;
        if (fields.size() >= 2 && fields[0] == "VmHWM:")
            sizes.peak = fields[1].toLongLong() * 1024;
    }
    return sizes;
}

TransferReport reportOf(std::span<const FrameChecksum> checksums) {
    TransferReport report;
    report.toolVersion = "1.2.3";
    report.clip.fileName = "SHOT01";
    report.clip.frameRate = 25;
    report.file = "/out/REEL01/SHOT01.mxf";
    report.started = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());
    report.ended = report.started.addSecs(10);
    report.startTimecode = "10:00:00:00";
    report.checksums = checksums;
    report.fileSize = 4;
    report.sha256 = QString(64, 'a');
    report.verified = true;
    return report;
}

TEST(TransferReportTest, EveryFieldAndEveryChecksumReadsBack) {
    QTemporaryDir folder;
    const std::vector<FrameChecksum> checksums{{0x1, {0x2, 0x3}, 0x4, {}},
                                               {0xabcdef0123456789, {0x5, 0x6}, 0x7, {}}};
    TransferReport report = reportOf(checksums);
    report.warnings << "a warning";
    report.drops.push_back({12, "10:00:00:11", "a picture was lost on the capture card", report.started});
    report.events = captureEvents(report.drops, 2, report.ended, {"vantrel-transfer 1.2.3", "", "VOL01", ""});
    ASSERT_EQ(writeReport(folder.filePath("SHOT01.json"), report), std::nullopt);
    const QJsonObject json = readJson(folder.filePath("SHOT01.json"));
    EXPECT_EQ(json["frames"].toInteger(), 2);
    EXPECT_EQ(json["destination"].toString(), report.file);
    EXPECT_EQ(json["clip"].toObject()["fileName"].toString(), "SHOT01");
    EXPECT_EQ(json["droppedPictures"].toArray()[0].toObject()["frame"].toInteger(), 12);
    EXPECT_EQ(json["droppedPictures"].toArray()[0].toObject()["cause"].toString(), report.drops[0].cause);
    EXPECT_EQ(json["warnings"].toArray(), QJsonArray{"a warning"});
    const QJsonArray events = json["events"].toArray();
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0]["outcome"], "failure");
    EXPECT_EQ(events[0]["dateTime"], "2023-11-14T22:13:20.000Z");
    EXPECT_TRUE(
        events[0]["detail"].toString().contains("lost on the capture card after frame 12 (10:00:00:11)"));
    EXPECT_EQ(events[1]["outcome"], "success");
    EXPECT_EQ(events[1]["dateTime"], "2023-11-14T22:13:30.000Z");
    const QJsonArray agents{QJsonObject{{"role", "software"}, {"name", "vantrel-transfer 1.2.3"}},
                            QJsonObject{{"role", "recorder volume"}, {"name", "VOL01"}}};
    EXPECT_EQ(events[1]["agents"].toArray(), agents);
    EXPECT_EQ(json["sha256"].toString(), report.sha256);
    EXPECT_EQ(json["throughput"].toObject()["framesPerSecond"].toDouble(), 0.2);
    const QJsonObject second = json["frameChecksums"].toArray()[1].toObject();
    EXPECT_EQ(second["picture"].toString(), "abcdef0123456789");
    EXPECT_EQ(second["sound"].toArray(), (QJsonArray{"0000000000000005", "0000000000000006"}));
    EXPECT_EQ(second["data"].toString(), "0000000000000007");
}

// A 2-hour clip at 30 frames a second with 16 sound channels: writing its report takes far less memory
// than the checksums themselves, which a JSON tree of them would take several times over.
TEST(TransferReportTest, TheReportOfALongClipIsWrittenWithinASmallMemoryBudget) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's own memory would hide the report's";
#endif
    constexpr size_t kFrames = 216'000;
    constexpr int64_t kBudget = int64_t(64) << 20;
    QFile clearPeak("/proc/self/clear_refs");
    if (!clearPeak.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "the peak resident size cannot be reset here";
    QTemporaryDir folder;
    std::vector<FrameChecksum> checksums(kFrames);
    for (size_t k = 0; k < kFrames; ++k)
        checksums[k] = {k, std::vector<uint64_t>(16, k * 17), k * 3, {}};
    const TransferReport report = reportOf(checksums);
    ASSERT_EQ(clearPeak.write("5"), 1);
    clearPeak.close();
    const Resident before = resident();
    ASSERT_EQ(writeReport(folder.filePath("LONG.json"), report), std::nullopt);
    const Resident after = resident();
    ASSERT_GT(before.now, 0);
    EXPECT_LT(after.peak - before.now, kBudget) << "peak " << after.peak << ", before " << before.now;
    EXPECT_GT(QFile(folder.filePath("LONG.json")).size(), int64_t(kFrames) * 16 * 16);
}

// What `--skip-existing` and the window's "Skip All" take for a finished file: the report names it and gives
// its size, and the SHA-256 file names it with the report's digest.
TEST(TransferReportTest, AFinishedFileAgreesWithItsReportOnlyWhileSizeNameAndDigestAgree) {
    QTemporaryDir folder;
    const QString file = folder.filePath("SHOT01.mxf");
    put(file, "MXF!");
    const std::vector<FrameChecksum> checksums{{}};
    TransferReport report = reportOf(checksums);
    report.file = file;
    report.sha256 = *sha256OfFile(file);
    ASSERT_EQ(writeReport(folder.filePath("SHOT01.json"), report), std::nullopt);
    put(file + ".sha256", sha256sumLine(report.sha256, file).toUtf8());
    EXPECT_EQ(finishedFileDisagreement(file), std::nullopt);

    put(file, "MXF!!");
    EXPECT_TRUE(finishedFileDisagreement(file).value_or("").contains("holds 5 bytes"));
    put(file, "MXF!");
    put(file + ".sha256", sha256sumLine(QString(64, 'b'), file).toUtf8());
    EXPECT_TRUE(finishedFileDisagreement(file).value_or("").contains("another digest"));
    put(file + ".sha256", sha256sumLine(report.sha256, folder.filePath("OTHER.mxf")).toUtf8());
    EXPECT_TRUE(finishedFileDisagreement(file).value_or("").contains("names OTHER.mxf"));
    QFile::remove(folder.filePath("SHOT01.json"));
    EXPECT_TRUE(finishedFileDisagreement(file).value_or("").startsWith("no report"));
}

} // namespace
