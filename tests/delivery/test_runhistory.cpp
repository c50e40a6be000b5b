// The generation a run adds: the MXF file's digests are the read-back's (the file is not read again), its
// companions are hashed as they are on the disk, every path is relative to the root, and a run that finished
// nothing leaves the history alone.

#include "delivery/RunHistory.h"
#include "mhl/History.h"
#include "tests/support/FileWriting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::writeWholeFile;

const mhl::Hash *hashOf(const mhl::FileHash &file, const QString &format) {
    for (const mhl::Hash &hash : file.hashes)
        if (hash.format == format)
            return &hash;
    return nullptr;
}

TEST(RunHistory, ListsTheReadBacksDigestsAndHashesTheCompanionsBelowTheRoot) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString mxf = root.filePath("REEL01/SHOT01.mxf");
    writeWholeFile(mxf, "picture bytes");
    writeWholeFile(root.filePath("REEL01/SHOT01.json"), "{}");
    // A name typed with a line break keeps the rest: XML has no place for control characters.
    RunHistory history(root.path(), {true, "Dana Reel\n", {"vantrel-*.log"}});
    // Digests no read of the file would give: the history must take them as they are.
    const FileDigests fromReadBack{"sha", "00112233445566778899aabbccddeeff",
                                   "ffeeddccbbaa99887766554433221100"};
    ASSERT_EQ(
        history.addFinished(mxf, fromReadBack,
                            {root.filePath("REEL01/SHOT01.json"), root.filePath("REEL01/SHOT01.framemd5")}),
        std::nullopt);
    ASSERT_EQ(history.record(), std::nullopt);

    const mhl::History loaded = mhl::loadHistory(root.path());
    ASSERT_TRUE(loaded.problems.isEmpty()) << loaded.problems.join("; ").toStdString();
    ASSERT_EQ(loaded.generations.size(), 1u);
    EXPECT_EQ(root.filePath("ascmhl/" + loaded.generations[0].fileName), history.manifest());
    const mhl::Generation &generation = loaded.generations[0].generation;
    EXPECT_EQ(generation.process, mhl::kTransferProcess);
    EXPECT_EQ(generation.author, "Dana Reel");
    EXPECT_TRUE(generation.ignore.contains("vantrel-*.log"));
    EXPECT_TRUE(generation.ignore.contains("*.part"));
    ASSERT_EQ(generation.files.size(), 2u) << "a companion that does not exist is not listed";
    EXPECT_EQ(generation.files[0].path, "REEL01/SHOT01.mxf");
    EXPECT_EQ(generation.files[0].size, 13);
    ASSERT_NE(hashOf(generation.files[0], mhl::kXxh128), nullptr);
    EXPECT_EQ(hashOf(generation.files[0], mhl::kXxh128)->value, fromReadBack.xxh128);
    EXPECT_EQ(hashOf(generation.files[0], mhl::kMd5)->value, fromReadBack.md5);
    EXPECT_EQ(generation.files[1].path, "REEL01/SHOT01.json");
    // The MD5 of "{}", as md5sum gives it: the companion was read from the disk.
    ASSERT_NE(hashOf(generation.files[1], mhl::kMd5), nullptr);
    EXPECT_EQ(hashOf(generation.files[1], mhl::kMd5)->value, "99914b932bd37a50b983c5e7c90ae93b");
    EXPECT_EQ(hashOf(generation.files[1], mhl::kXxh128)->action, mhl::kOriginal);
}

TEST(RunHistory, RefusesAFileOutsideTheRootOrWithoutDigestsAndRecordsNothingForAnEmptyRun) {
    QTemporaryDir root;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(root.isValid() && elsewhere.isValid());
    writeWholeFile(elsewhere.filePath("A.mxf"), "x");
    RunHistory history(root.path(), {});
    EXPECT_NE(history.addFinished(elsewhere.filePath("A.mxf"), {"s", "x", ""}, {}), std::nullopt);
    writeWholeFile(root.filePath("B.mxf"), "x");
    EXPECT_NE(history.addFinished(root.filePath("B.mxf"), {"s", "", ""}, {}), std::nullopt);
    ASSERT_EQ(history.record(), std::nullopt);
    EXPECT_TRUE(history.manifest().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root.filePath("ascmhl")));
}

} // namespace
