// Putting a finished file and its companions (report, checksum) in place: stopped after any step, as a
// crash stops it, a file under its final name only ever sits beside its own companions (never beside one
// left over from an older set), and the file's rename is the last step; every step done, the new set is in
// place and no in-progress file is left. The calls reach the disk in the order that makes this hold after a
// power cut, a full disk reads "disk full", and a folder sync that fails after the last rename leaves the
// file finished.

#include "mxf/DurableFile.h"
#include "tests/support/RecordingDurabilityCalls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <gtest/gtest.h>
#include <string>

namespace {

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void put(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(DurableFileTest, EveryCrashPointLeavesAFileOnlyBesideItsOwnCompanionsAndTheFileMovesLast) {
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "replacing an older file" : "a first transfer");
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const PendingFile file{folder.filePath("CLIP.mxf.part"), folder.filePath("CLIP.mxf")};
        const std::vector<PendingFile> companions{
            {folder.filePath("CLIP.mxf.sha256.part"), folder.filePath("CLIP.mxf.sha256")},
            {folder.filePath("CLIP.json.part"), folder.filePath("CLIP.json")}};
        // The older set also had a framemd5 list, which the new one lacks.
        const QString staleList = folder.filePath("CLIP.framemd5");
        const QStringList names{companions[0].final, companions[1].final, staleList};
        const size_t stepCount = commitStepsWithCompanions(file, companions, names).size();
        for (size_t done = 0; done <= stepCount; ++done) {
            SCOPED_TRACE("stopped after step " + std::to_string(done));
            // Each file holds the name of its set, so that a file and its companions can be matched.
            for (const PendingFile &pending : companions) {
                QFile::remove(pending.final);
                put(pending.inProgress, "new");
                if (overwrite)
                    put(pending.final, "old");
            }
            QFile::remove(file.final);
            put(file.inProgress, "new");
            if (overwrite) {
                put(file.final, "old");
                put(staleList, "old");
            }

            const std::vector<CommitStep> steps = commitStepsWithCompanions(file, companions, names);
            for (size_t k = 0; k < done; ++k)
                ASSERT_EQ(steps[k](), std::nullopt);

            if (QFile::exists(file.final)) {
                for (const PendingFile &companion : companions)
                    EXPECT_EQ(contents(companion.final), contents(file.final))
                        << companion.final.toStdString();
                if (QFile::exists(staleList)) {
                    EXPECT_EQ(contents(staleList), contents(file.final)) << "an older set's list";
                }
            }
            if (done < stepCount) {
                EXPECT_NE(contents(file.final), "new") << "the file took its final name before the last step";
            }
        }
        for (const PendingFile &companion : companions)
            EXPECT_EQ(contents(companion.final), "new");
        EXPECT_EQ(contents(file.final), "new");
        EXPECT_FALSE(QFile::exists(staleList)) << "the older set's list outlived it";
        EXPECT_EQ(QDir(folder.path()).entryList({"*.part"}, QDir::Files), QStringList());
    }
}

// What a transfer does, in the order a power cut must see it: each companion written and synced, the file
// synced, the folder synced (the removals of the older set), then each rename followed by a folder sync,
// the file's rename last.
TEST(DurableFileTest, WritesSyncsAndRenamesReachTheDiskInOrder) {
    QTemporaryDir folder;
    put(folder.filePath("CLIP.mxf.part"), "new");
    put(folder.filePath("CLIP.framemd5"), "old");
    testsupport::RecordingDurabilityCalls recorder(folder.path());
    SyncedFileWriter report(folder.filePath("CLIP.json.part"));
    report.write("{}");
    ASSERT_EQ(report.finish(), std::nullopt);
    ASSERT_EQ(syncFile(folder.filePath("CLIP.mxf.part")), std::nullopt);
    const CommitResult result =
        commitWithCompanions({folder.filePath("CLIP.mxf.part"), folder.filePath("CLIP.mxf")},
                             {{folder.filePath("CLIP.json.part"), folder.filePath("CLIP.json")}},
                             {folder.filePath("CLIP.json"), folder.filePath("CLIP.framemd5")});
    EXPECT_TRUE(result.committed);
    EXPECT_EQ(result.problem, std::nullopt);
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"write CLIP.json.part", "sync CLIP.json.part", "sync CLIP.mxf.part",
                                        "remove CLIP.framemd5", "sync .", "rename CLIP.json.part CLIP.json",
                                        "sync .", "rename CLIP.mxf.part CLIP.mxf", "sync ."}));
}

TEST(DurableFileTest, AFullDiskWhileSyncingReadsDiskFull) {
    QTemporaryDir folder;
    put(folder.filePath("CLIP.mxf.part"), "new");
    testsupport::RecordingDurabilityCalls recorder(folder.path());
    recorder.failing = "sync CLIP.mxf.part";
    recorder.failWith = ENOSPC;
    EXPECT_TRUE(syncFile(folder.filePath("CLIP.mxf.part")).value_or("").startsWith("disk full"));
    recorder.failing = "sync CLIP.json.part";
    SyncedFileWriter report(folder.filePath("CLIP.json.part"));
    report.write("{}");
    EXPECT_TRUE(report.finish().value_or("").startsWith("disk full"));
    recorder.failing = "write CLIP.json.part";
    SyncedFileWriter again(folder.filePath("CLIP.json.part"));
    again.write("{}");
    EXPECT_TRUE(again.finish().value_or("").startsWith("disk full"));
}

// A folder sync refused with EINVAL (some network mounts) is no failure; one that fails after the file's
// rename leaves it finished with the words the user sees; a stop before the last step leaves no file.
TEST(DurableFileTest, FolderSyncsAndStopsAroundTheLastRename) {
    QTemporaryDir folder;
    const PendingFile file{folder.filePath("CLIP.mxf.part"), folder.filePath("CLIP.mxf")};
    const PendingFile report{folder.filePath("CLIP.json.part"), folder.filePath("CLIP.json")};
    testsupport::RecordingDurabilityCalls recorder(folder.path());
    recorder.failing = "sync .";

    recorder.failWith = EINVAL;
    EXPECT_FALSE(folderSyncSupported(folder.path()));
    put(file.inProgress, "new");
    put(report.inProgress, "new");
    EXPECT_EQ(commitWithCompanions(file, {report}, {report.final}).problem, std::nullopt);

    recorder.failWith = EIO;
    recorder.failFrom = int(std::count(recorder.calls.begin(), recorder.calls.end(), "sync .")) + 3;
    put(file.inProgress, "newer");
    put(report.inProgress, "newer");
    const CommitResult late = commitWithCompanions(file, {report}, {report.final});
    EXPECT_TRUE(late.committed);
    EXPECT_TRUE(
        late.problem.value_or("").startsWith("finished, but the folder could not be synced: " + file.final))
        << late.problem.value_or("").toStdString();
    EXPECT_EQ(contents(file.final), "newer");

    recorder.failing.clear();
    put(file.inProgress, "newest");
    put(report.inProgress, "newest");
    std::stop_source stop;
    stop.request_stop();
    const CommitResult stopped = commitWithCompanions(file, {report}, {report.final}, stop.get_token());
    EXPECT_FALSE(stopped.committed);
    EXPECT_EQ(contents(file.final), "newer");
}

// A folder created for a file is itself on disk: the parent of each new folder is synced after it.
TEST(DurableFileTest, EachFolderCreatedHasItsParentSynced) {
    QTemporaryDir folder;
    testsupport::RecordingDurabilityCalls recorder(folder.path());
    ASSERT_EQ(makeFolders(folder.filePath("A/B")), std::nullopt);
    EXPECT_TRUE(QFileInfo(folder.filePath("A/B")).isDir());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"sync .", "sync A"}));
}

TEST(DurableFileTest, ACompanionThatCannotBeRenamedStopsTheFileFromTakingItsName) {
    QTemporaryDir folder;
    const PendingFile file{folder.filePath("CLIP.mxf.part"), folder.filePath("CLIP.mxf")};
    put(file.inProgress, "new");
    const CommitResult result =
        commitWithCompanions(file, {{folder.filePath("CLIP.json.part"), folder.filePath("CLIP.json")}},
                             {folder.filePath("CLIP.json")});
    EXPECT_FALSE(result.committed);
    EXPECT_TRUE(result.problem.value_or("").startsWith("cannot rename " + folder.filePath("CLIP.json.part")))
        << result.problem.value_or("").toStdString();
    EXPECT_FALSE(QFile::exists(file.final));
}

} // namespace
