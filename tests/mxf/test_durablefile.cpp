// Putting a finished file and its companions (report, checksum) in place: stopped after any step, as a
// crash stops it, a file under its final name only ever sits beside its own companions, and the file's
// rename is the last step; every step done, the new set is in place and no in-progress file is left.

#include "mxf/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
        const size_t stepCount = commitStepsWithCompanions(file, companions).size();
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
            if (overwrite)
                put(file.final, "old");

            const std::vector<CommitStep> steps = commitStepsWithCompanions(file, companions);
            for (size_t k = 0; k < done; ++k)
                ASSERT_EQ(steps[k](), std::nullopt);

            if (QFile::exists(file.final)) {
                for (const PendingFile &companion : companions)
                    EXPECT_EQ(contents(companion.final), contents(file.final))
                        << companion.final.toStdString();
            }
            if (done < stepCount) {
                EXPECT_NE(contents(file.final), "new") << "the file took its final name before the last step";
            }
        }
        for (const PendingFile &companion : companions)
            EXPECT_EQ(contents(companion.final), "new");
        EXPECT_EQ(contents(file.final), "new");
        EXPECT_EQ(QDir(folder.path()).entryList({"*.part"}, QDir::Files), QStringList());
    }
}

TEST(DurableFileTest, ACompanionThatCannotBeRenamedStopsTheFileFromTakingItsName) {
    QTemporaryDir folder;
    const PendingFile file{folder.filePath("CLIP.mxf.part"), folder.filePath("CLIP.mxf")};
    put(file.inProgress, "new");
    const std::optional<QString> problem =
        commitWithCompanions(file, {{folder.filePath("CLIP.json.part"), folder.filePath("CLIP.json")}});
    ASSERT_NE(problem, std::nullopt);
    EXPECT_TRUE(problem->startsWith("cannot rename " + folder.filePath("CLIP.json.part")))
        << problem->toStdString();
    EXPECT_FALSE(QFile::exists(file.final));
}

} // namespace
