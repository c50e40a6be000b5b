// vantrel-transfer's listing, and every way a run can go wrong, each with its exit status and its message
// and never a hang: recorder faults, play-out faults, drops beyond the restart budget, usage errors.

#include "platform/srmodule/DemoMedia.h"
#include "tests/cli/TransferTool.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using clitest::transferTool;

QStringList lines(const QString &text) {
    return text.split('\n', Qt::SkipEmptyParts);
}

TEST(ListE2e, PrintsTheFiveColumnsAndMarksWhatCannotBeTransferred) {
    const clitest::Run run = transferTool({"list"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList rows = lines(run.out);
    ASSERT_EQ(rows.size(), 6) << run.out.toStdString();
    EXPECT_EQ(rows[0].split(' ', Qt::SkipEmptyParts),
              QStringList({"FileName", "Start", "Duration", "Format", "Date"}));
    EXPECT_EQ(rows[1].split(' ', Qt::SkipEmptyParts),
              QStringList({"A001C001", "01:00:00,00", "00:00:10,00", "59.94i", "1080", "4:2:2", "10bit",
                           "SR-HQ", "2012/07/15", "09:30"}));
    for (int i = 1; i <= 4; ++i)
        EXPECT_FALSE(rows[i].contains("not transferable")) << rows[i].toStdString();
    EXPECT_TRUE(rows[5].startsWith("B001C001"));
    EXPECT_TRUE(rows[5].endsWith("not transferable: progressive clips cannot be transferred"));
}

TEST(ListE2e, JsonHoldsEveryFieldOfEveryClip) {
    const clitest::Run run = transferTool({"list", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonArray clips = QJsonDocument::fromJson(run.out.toUtf8()).array();
    const std::vector<ManifestClip> demo = demoManifest().clips;
    ASSERT_EQ(size_t(clips.size()), demo.size());
    const QStringList fields{"sourcePath",     "fileName",      "secondName",      "startText", "startFrame",
                             "durationFrames", "durationText",  "formatText",      "dateTime1", "dateText1",
                             "dateTime2",      "dateText2",     "interlaced",      "psf",       "stereo3D",
                             "dropFrame",      "is720",         "sampling",        "codec",     "bitDepth",
                             "frameRate",      "rateNumerator", "rateDenominator", "rawTail",   "fileValid",
                             "listed",         "sharesFileName"};
    for (qsizetype i = 0; i < clips.size(); ++i) {
        const QJsonObject clip = clips[i].toObject();
        const ClipRecord &record = demo[size_t(i)].record;
        QStringList keys = clip.keys(), expected = fields;
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(clip["fileName"].toString().toStdString(), record.fileName);
        EXPECT_EQ(clip["secondName"].toString().toStdString(), record.secondName);
        EXPECT_EQ(clip["durationFrames"].toInteger(), record.durationFrames);
        EXPECT_EQ(clip["listed"].toBool(), record.fileName != "B001C001");
        EXPECT_FALSE(clip["sharesFileName"].toBool());
        // The reply's tail as hex: the sound channel count, the format letter, then the clip identifier.
        const QByteArray tail = QByteArray::fromHex(clip["rawTail"].toString().toLatin1());
        ASSERT_EQ(tail.size(), 33);
        EXPECT_EQ(uint8_t(tail[1]), record.soundChannels);
        EXPECT_EQ(tail[8], record.formatLetter);
        EXPECT_EQ(tail.mid(9), QByteArray(reinterpret_cast<const char *>(record.identifier.data()), 24));
    }
    const QJsonObject first = clips[0].toObject();
    EXPECT_EQ(first["startText"].toString(), "01:00:00,00 "); // texts exactly as built, trailing blank kept
    EXPECT_EQ(first["startFrame"].toInteger(), 107892);
    EXPECT_EQ(first["rateNumerator"].toInt(), 30000);
    EXPECT_EQ(first["dateTime1"]["year"].toInt(), 2012);
    EXPECT_EQ(first["sourcePath"].toString(), "SRMEDIA/CLIPS");
}

struct RecorderFault {
    const char *name;
    bool wholeRecorder; // else the second clip's information only
};

class RecorderFaultE2e : public ::testing::TestWithParam<RecorderFault> {};

// A recorder that does not give its whole clip list is a failure, never a recorder without clips.
TEST_P(RecorderFaultE2e, FailsTheRunWithoutTransferring) {
    const QJsonObject fault{{GetParam().name, true}};
    QJsonObject second = testsupport::clipJson("C002", 6);
    if (!GetParam().wholeRecorder)
        second["faults"] = fault;
    const testsupport::TempManifest manifest(testsupport::manifestWith(
        {testsupport::clipJson("C001", 6), second}, GetParam().wholeRecorder ? fault : QJsonObject{}));
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--all"}, manifest.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("could not read the recorder's whole clip list")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QDir(destination.path()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RecorderFaultE2e,
    ::testing::Values(RecorderFault{"badChecksum", true}, RecorderFault{"acknowledgeOnly", true},
                      RecorderFault{"stopsAnswering", true}, RecorderFault{"staysBusy", true},
                      RecorderFault{"badChecksum", false}, RecorderFault{"acknowledgeOnly", false},
                      RecorderFault{"stopsAnswering", false}, RecorderFault{"staysBusy", false}),
    [](const auto &info) {
        return std::string(info.param.name) + (info.param.wholeRecorder ? "" : "OnAClip");
    });

QJsonObject faultyClip(const QString &name, const QJsonObject &faults) {
    QJsonObject clip = testsupport::clipJson(name, 8);
    clip["faults"] = faults;
    return clip;
}

TEST(PlayoutFaultE2e, AStalledClipFailsWithinItsLimitTheBatchGoesOnAndItsLogTellsEachOutcome) {
    const testsupport::TempManifest manifest(testsupport::manifestWith(
        {faultyClip("NEVER", {{"neverPlays", true}}), faultyClip("STOPS", {{"stopsPlayingAfter", 5}}),
         testsupport::clipJson("GOOD", 6)}));
    QTemporaryDir destination;
    const clitest::Run run = transferTool(
        {"transfer", "--dest", destination.path(), "--all", "--cue-timeout", "3", "--stall-timeout=2"},
        manifest.path());
    EXPECT_EQ(run.status, 1);
    const QString cue = ": cue timeout: the recorder's play-out gave no payload block within 3 s";
    EXPECT_TRUE(run.err.contains("NEVER: failed" + cue)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("STOPS: failed: no payload block from the recorder for 2 s"))
        << run.err.toStdString();
    EXPECT_EQ(lines(run.out), QStringList({destination.filePath("REEL01/GOOD.mxf")}));

    const QStringList logs = QDir(destination.path()).entryList({"vantrel-*.log"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    EXPECT_TRUE(QRegularExpression("^vantrel-\\d{8}-\\d{6}\\.log$").match(logs[0]).hasMatch())
        << logs[0].toStdString();
    QFile log(destination.filePath(logs[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList logLines = lines(QString::fromUtf8(log.readAll()));
    for (QString &line : logLines)
        line = line.mid(20); // the time stamp
    EXPECT_EQ(
        logLines,
        QStringList({"batch started: 3 clip(s) into " + destination.path(), "NEVER: started",
                     "NEVER: failed" + cue + ": it never started, or the card delivers no pictures",
                     "STOPS: started",
                     "STOPS: failed: no payload block from the recorder for 2 s: it stopped playing, or "
                     "the card delivers no pictures",
                     "GOOD: started", "GOOD: finished: " + destination.filePath("REEL01/GOOD.mxf"),
                     "batch ended: 1 of 3 clip(s) finished"}));
}

TEST(PlayoutFaultE2e, AClipThatDropsBeyondItsRestartsFailsAndTheBatchGoesOn) {
    const testsupport::TempManifest manifest(testsupport::manifestWith(
        {faultyClip("DROPS", {{"dropsPicture", 3}}), testsupport::clipJson("NEXT", 6)}));
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--restarts", "0", "--all"}, manifest.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("DROPS: failed: frames were dropped on every try; gave up after 0 restarts"))
        << run.err.toStdString();
    EXPECT_EQ(lines(run.out), QStringList({destination.filePath("REEL01/NEXT.mxf")}));
}

// Two clips of one name in two folders: the recorder plays the first whichever is asked for.
QJsonObject clipIn(const QString &folder, int frames, const QString &start) {
    QJsonObject clip = testsupport::clipJson("CLIP", frames);
    clip["secondName"] = folder;
    clip["startTimecode"] = start;
    clip["dropFrame"] = 0;
    return clip;
}

TEST(ClipIdentityE2e, ClipsOfOneNameAreMarkedAndAPlayOutOfTheOtherFailsTheClip) {
    const testsupport::TempManifest manifest(
        testsupport::manifestWith({clipIn("REEL01", 8, "01:00:00:00"), clipIn("REEL02", 6, "02:00:00:00")}));
    const clitest::Run list = transferTool({"list"}, manifest.path());
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    const QStringList rows = lines(list.out);
    ASSERT_EQ(rows.size(), 3);
    for (const QString &row : rows.mid(1))
        EXPECT_TRUE(row.endsWith("same name as another clip: the recorder may play the other one"))
            << row.toStdString();
    const clitest::Run json = transferTool({"list", "--json"}, manifest.path());
    for (const QJsonValue &clip : QJsonDocument::fromJson(json.out.toUtf8()).array())
        EXPECT_TRUE(clip["sharesFileName"].toBool());

    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--all"}, manifest.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lines(run.out), QStringList({destination.filePath("REEL01/CLIP.mxf")}));
    EXPECT_TRUE(run.err.contains("CLIP: failed: the recorder played another clip: its first frame is "
                                 "01:00:00:00, CLIP starts at 02:00:00:00"))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("restart")) << "a failure, not a drop: " << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(destination.filePath("REEL02/CLIP.mxf")));
}

TEST(DamagedFramesE2e, AShortPictureIsADropAndShortSoundAWarningOrWithStrictAFailure) {
    const testsupport::TempManifest manifest(
        testsupport::manifestWith({faultyClip("SHORTPIC", {{"shortPictureAt", 4}}),
                                   faultyClip("SHORTSND", {{"shortSoundAt", 2}, {"shortSoundSamples", 7}})}));
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--restarts", "1", "--all"}, manifest.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("SHORTPIC: a frame was dropped; restart 1 of 1")) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains("SHORTPIC: failed: frames were dropped on every try; gave up after 1 restarts; "
                         "dropped after frame 3 (01:00:00;03): picture of frame 4 (01:00:00;04) has "
                         "1874000 bytes, 1875000 expected"))
        << run.err.toStdString();
    const QString file = destination.filePath("REEL01/SHORTSND.mxf");
    EXPECT_EQ(lines(run.out), QStringList({file}));
    EXPECT_TRUE(run.err.contains("SHORTSND: warning: the sound of 1 frames arrived short"))
        << run.err.toStdString();
    const QStringList logs = QDir(destination.path()).entryList({"vantrel-*.log"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    QFile log(destination.filePath(logs[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(
        "SHORTSND: warning: the sound of 1 frames arrived short and was padded with silence\n"));
    QFile report(destination.filePath("REEL01/SHORTSND.json"));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QJsonArray damaged = QJsonDocument::fromJson(report.readAll())["damagedFrames"].toArray();
    ASSERT_EQ(damaged.size(), 1);
    const QJsonObject entry = damaged[0].toObject();
    EXPECT_GE(entry["frame"].toInt(), 2);
    EXPECT_EQ(entry["timeCode"].toString(),
              QString("01:00:00;%1").arg(entry["frame"].toInt(), 2, 10, QChar('0')));
    EXPECT_EQ(entry["channel"].toInt(), 1);
    EXPECT_EQ(entry["samplesMissing"].toInt(), 7);

    const clitest::Run strict = transferTool(
        {"transfer", "--dest", destination.path(), "--strict", "--overwrite", "SHORTSND"}, manifest.path());
    EXPECT_EQ(strict.status, 1);
    EXPECT_TRUE(strict.err.contains("SHORTSND: failed: the sound of frame ")) << strict.err.toStdString();
    EXPECT_TRUE(strict.out.isEmpty());
}

TEST(PreviewOnlyE2e, WritesNothingPrintsNoPathAndDoesNotRefuseAClipWhoseFileExists) {
    const testsupport::TempManifest manifest(testsupport::manifestWith({testsupport::clipJson("GOOD", 6)}));
    QTemporaryDir destination;
    ASSERT_TRUE(QDir(destination.path()).mkpath("REEL01"));
    for (const char *name : {"REEL01/GOOD.mxf", "REEL01/GOOD.mxf.part"}) {
        QFile file(destination.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(name) > 0);
    }
    const clitest::Run run = transferTool(
        {"transfer", "--dest", destination.path(), "--mode", "preview-only", "--all"}, manifest.path());
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_FALSE(run.err.contains("left over")) << run.err.toStdString();
    for (const char *name : {"REEL01/GOOD.mxf", "REEL01/GOOD.mxf.part"}) {
        QFile file(destination.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray(name));
    }
    EXPECT_EQ(QDir(destination.filePath("REEL01")).entryList(QDir::Files).size(), 2);
}

struct UsageError {
    const char *name;
    QStringList
        arguments; // DEST stands for an empty folder, FILE for a file, LOCKED for an unwritable folder
    const char *message;
};

class UsageE2e : public ::testing::TestWithParam<UsageError> {};

TEST_P(UsageE2e, ExitsWithStatusTwoAndSaysWhy) {
    QTemporaryDir folder;
    QDir(folder.path()).mkdir("dest");
    QFile(folder.filePath("file")).open(QIODevice::WriteOnly);
    QDir(folder.path()).mkdir("locked");
    QFile::setPermissions(folder.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    // Root writes into any folder its permissions lock; a folder of /proc it cannot.
    const QString locked = access(QFile::encodeName(folder.filePath("locked")).constData(), W_OK) != 0
                               ? folder.filePath("locked")
                               : "/proc/1";
    QStringList arguments = GetParam().arguments;
    arguments.replaceInStrings("DEST", folder.filePath("dest"));
    arguments.replaceInStrings("FILE", folder.filePath("file"));
    arguments.replaceInStrings("LOCKED", locked);
    const clitest::Run run = transferTool(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(GetParam().message)) << run.err.toStdString();
    EXPECT_TRUE(QDir(folder.filePath("dest")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, UsageE2e,
    ::testing::Values(
        UsageError{
            "UnknownClip", {"transfer", "--dest", "DEST", "A001C001", "NOPE"}, "no clip named \"NOPE\""},
        UsageError{"MissingDestination", {"transfer", "--all"}, "transfer needs --dest DIR"},
        UsageError{"EmptyDestination", {"transfer", "--dest=", "--all"}, "transfer needs --dest DIR"},
        UsageError{"MissingFolder", {"transfer", "--dest", "DEST/none", "--all"}, "does not exist"},
        UsageError{"NotAFolder", {"transfer", "--dest", "FILE", "--all"}, "is not a folder"},
        UsageError{"UnwritableFolder", {"transfer", "--dest", "LOCKED", "--all"}, "is not writable"},
        UsageError{"UnknownOption", {"list", "--verbose"}, "unknown option --verbose"},
        UsageError{"BrokenManifest", {"--media", "FILE", "list"}, "is not valid JSON"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DiskSpaceE2e, ClipsLargerThanTheDiskAreRefusedBeforeAnyStarts) {
    // Ten million HQ frames: some 19 TB, more than any test machine has free.
    const testsupport::TempManifest manifest(testsupport::manifestWith(
        {testsupport::clipJson("SHORT", 6), testsupport::clipJson("HUGE", 10'000'000)}));
    QTemporaryDir destination;
    const clitest::Run run =
        transferTool({"transfer", "--dest", destination.path(), "--all"}, manifest.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.startsWith("vantrel-transfer: not enough disk space: the transfer needs 19.2 TB, "))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(" free at " + destination.path() + "\n")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(QDir(destination.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST(HelpE2e, HelpAndVersionSucceed) {
    const clitest::Run help = transferTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage:"));
    const clitest::Run version = transferTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("vantrel-transfer ")) << version.out.toStdString();
}

} // namespace
