// The check of a copied folder against its history, through the life of a card's copy: generations added,
// files added, damaged, left over and deleted, manifests edited or lost; and the ignore patterns it skips by.

#include "TestRoot.h"
#include "mhl/IgnorePatterns.h"
#include "mhl/RootCheck.h"

#include <gtest/gtest.h>

namespace {

using mhltest::TestRoot;

std::string describe(const mhl::RootCheck &check) {
    return QStringList{"history: " + check.historyProblems.join("; "), "missing: " + check.missing.join("; "),
                       "changed: " + check.changed.join("; "),
                       "unreferenced: " + check.unreferenced.join("; "),
                       "unreadable: " + check.unreadable.join("; ")}
        .join('\n')
        .toStdString();
}

TEST(RootCheckTest, FollowsACopyThroughItsGenerations) {
    const TestRoot root;
    root.write("REEL01/A001C001.mxf", QByteArray(70000, 'e'));
    root.write("REEL01/A001C001.json", "{\"clip\": 1}");
    root.write("B001C001.mov", "older essence");
    // The .mov has only an MD5, as an archive asked for it.
    root.append(root.generation({{"REEL01/A001C001.mxf", mhl::kXxh128},
                                 {"REEL01/A001C001.json", mhl::kXxh128},
                                 {"B001C001.mov", mhl::kMd5}}));
    QStringList heard;
    mhl::RootCheck check = mhl::checkRoot(root.path(), {}, [&](const QString &path) { heard << path; });
    EXPECT_TRUE(check.passed()) << describe(check);
    EXPECT_EQ(heard, QStringList({"B001C001.mov", "REEL01/A001C001.json", "REEL01/A001C001.mxf"}));
    ASSERT_EQ(check.verified.size(), 3u);
    EXPECT_EQ(check.verified[0].path, "B001C001.mov");
    EXPECT_EQ(check.verified[0].size, 13);
    ASSERT_EQ(check.verified[0].hashes.size(), 1u);
    EXPECT_EQ(check.verified[0].hashes[0].format, mhl::kMd5);
    EXPECT_EQ(check.verified[0].hashes[0].value, root.entry("B001C001.mov", mhl::kMd5).hashes[0].value);
    EXPECT_EQ(check.verified[0].hashes[0].action, mhl::kVerified);
    EXPECT_TRUE(check.verified[0].hashes[0].date.isValid());

    // A file no generation lists, then a generation that lists it.
    root.write("REEL01/A001C002.mxf", "second clip");
    check = mhl::checkRoot(root.path());
    EXPECT_FALSE(check.passed());
    EXPECT_EQ(check.unreferenced, QStringList{"REEL01/A001C002.mxf"});
    // That generation also has the report, rewritten since: its newest hash counts. The clip has both
    // formats: xxh128 is checked.
    root.write("REEL01/A001C001.json", "{\"clip\": 1, \"rewritten\": true}");
    mhl::Generation second =
        root.generation({{"REEL01/A001C002.mxf", mhl::kMd5}, {"REEL01/A001C001.json", mhl::kMd5}}, 60);
    second.files[0].hashes.push_back(root.entry("REEL01/A001C002.mxf", mhl::kXxh128).hashes[0]);
    root.append(second);
    // An in-progress file left for a later attempt is skipped by the declared patterns.
    root.write("REEL01/A001C003.mxf.part", "half a clip");
    check = mhl::checkRoot(root.path());
    EXPECT_TRUE(check.passed()) << describe(check);
    // The in-place generation a verify run adds keeps the history sound and the copy passing.
    mhl::Generation about = root.generation({}, 120);
    root.append(mhl::verifiedGeneration(check, about));
    check = mhl::checkRoot(root.path());
    EXPECT_TRUE(check.passed()) << describe(check);
    ASSERT_EQ(check.verified.size(), 4u);
    EXPECT_EQ(check.verified[1].path, "REEL01/A001C001.json");
    EXPECT_EQ(check.verified[1].hashes[0].format, mhl::kMd5);
    EXPECT_EQ(check.verified[3].path, "REEL01/A001C002.mxf");
    EXPECT_EQ(check.verified[3].hashes[0].format, mhl::kXxh128);

    // One byte flipped in each hashed format, then a file grown, then one deleted.
    const QByteArray clip = root.read("REEL01/A001C001.mxf");
    QByteArray damaged = clip;
    damaged[65536] = 'f';
    root.write("REEL01/A001C001.mxf", damaged);
    root.write("B001C001.mov", "older essencf");
    check = mhl::checkRoot(root.path());
    EXPECT_FALSE(check.passed());
    ASSERT_EQ(check.changed.size(), 2);
    EXPECT_TRUE(check.changed[0].startsWith("B001C001.mov: md5 was ")) << check.changed[0].toStdString();
    EXPECT_TRUE(check.changed[1].startsWith("REEL01/A001C001.mxf: xxh128 was "))
        << check.changed[1].toStdString();
    EXPECT_EQ(check.verified.size(), 2u);
    root.write("REEL01/A001C001.mxf", clip + "x");
    root.write("B001C001.mov", "older essence");
    check = mhl::checkRoot(root.path());
    EXPECT_EQ(check.changed, QStringList{"REEL01/A001C001.mxf: the size was 70000 bytes, is 70001"});
    root.write("REEL01/A001C001.mxf", clip);
    ASSERT_TRUE(QFile::remove(root.filePath("REEL01/A001C001.json")));
    check = mhl::checkRoot(root.path());
    EXPECT_FALSE(check.passed());
    EXPECT_EQ(check.missing, QStringList{"REEL01/A001C001.json"});
    EXPECT_TRUE(check.changed.isEmpty() && check.unreferenced.isEmpty()) << describe(check);

    // A stop ends the check, which then does not pass.
    std::stop_source stop;
    stop.request_stop();
    heard.clear();
    check = mhl::checkRoot(root.path(), stop.get_token(), [&](const QString &path) { heard << path; });
    EXPECT_TRUE(heard.isEmpty()) << "a stopped check went on to read a file";
    EXPECT_TRUE(check.stopped);
    EXPECT_FALSE(check.passed());
}

TEST(RootCheckTest, AnEditedLostOrStrayManifestIsAHistoryProblem) {
    const TestRoot root;
    EXPECT_FALSE(mhl::checkRoot(root.path()).passed()) << "a folder without history passed";
    root.write("A001C001.mxf", "essence");
    const QString first = root.append(root.generation({{"A001C001.mxf", mhl::kXxh128}}));
    const QString second = root.append(root.generation({{"A001C001.mxf", mhl::kMd5}}, 1));
    ASSERT_TRUE(mhl::checkRoot(root.path()).passed());
    const QByteArray written = root.read("ascmhl/" + QFileInfo(first).fileName());

    // Edited after writing: still a manifest, but not the one the chain lists.
    QByteArray edited = written;
    edited.replace("ingest-2", "ingest-3");
    root.write("ascmhl/" + QFileInfo(first).fileName(), edited);
    mhl::RootCheck check = mhl::checkRoot(root.path());
    EXPECT_FALSE(check.passed());
    ASSERT_EQ(check.historyProblems.size(), 1) << describe(check);
    EXPECT_TRUE(check.historyProblems[0].contains("changed after it was written"));
    EXPECT_TRUE(check.changed.isEmpty() && check.missing.isEmpty()) << describe(check);

    // Lost, and a manifest the chain does not list.
    ASSERT_TRUE(QFile::remove(first));
    root.write("ascmhl/0007_A002_CARD_2026-12-08_010000Z.mhl", written);
    check = mhl::checkRoot(root.path());
    EXPECT_FALSE(check.passed());
    ASSERT_EQ(check.historyProblems.size(), 2) << describe(check);
    EXPECT_TRUE(check.historyProblems[0].contains("0007_A002_CARD_2026-12-08_010000Z.mhl is not listed"));
    EXPECT_TRUE(check.historyProblems[1].contains(QFileInfo(first).fileName() + " is listed"));
    EXPECT_TRUE(check.historyProblems[1].endsWith("but is missing"));

    // A chain that cannot be read is reported, and no generation is added over it.
    root.write("ascmhl/ascmhl_chain.xml", "<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"><hashl");
    check = mhl::checkRoot(root.path());
    EXPECT_FALSE(check.passed());
    EXPECT_TRUE(check.historyProblems[0].contains("ascmhl_chain.xml: line 1")) << describe(check);
    QString error;
    EXPECT_FALSE(mhl::appendGeneration(root.path(), root.generation({}), error));
    EXPECT_TRUE(error.contains("ascmhl_chain.xml")) << error.toStdString();
    EXPECT_TRUE(QFile::exists(second));
}

TEST(IgnorePatternsTest, MatchesNamesFoldersAndRootedPathsAsGitDoes) {
    const mhl::IgnorePatterns patterns(
        {".DS_Store", "ascmhl/", "*.part", "tmp/", "/REEL01/*.json", "# *.mxf", ""});
    for (const char *skipped :
         {".DS_Store", "REEL01/.DS_Store", "ascmhl/0001_A.mhl", "REEL01/A001C001.mxf.part", "tmp/x",
          "REEL01/tmp/x.mxf", "REEL01/A001C001.json"})
        EXPECT_TRUE(patterns.matches(skipped)) << skipped;
    for (const char *kept : {"ascmhl", "A001C001.part.mxf", "REEL01/tmp", "REEL02/REEL01/A001C001.json",
                             "REEL01/SUB/A001C001.json", "A001C001.mxf", "DS_Store"})
        EXPECT_FALSE(patterns.matches(kept)) << kept;
}

} // namespace
