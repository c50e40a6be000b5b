// Bags end to end: `transfer --bag` leaves one BagIt bag per destination that the bag check accepts, whose
// manifests agree with outside tools, whose bag-info names the file's material package as ffprobe reads it,
// and whose every file the ASC MHL history lists; an existing bag is replaced only when asked.

#include "delivery/BagCheck.h"
#include "tests/cli/TransferTool.h"
#include "tests/support/FfprobeCheck.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using clitest::transferTool;
using testsupport::shortClip;

QString contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString digestBy(const QString &program, const QString &path) {
    const clitest::Run run = clitest::run(program, {path}, std::chrono::seconds(60));
    EXPECT_EQ(run.status, 0) << program.toStdString() << ": " << run.err.toStdString();
    return run.out.section(' ', 0, 0).trimmed();
}

QStringList problemsOf(const QString &bag) {
    QStringList problems;
    for (const BagProblem &problem : validateBag(bag))
        problems << problem.check + ": " + problem.detail;
    return problems;
}

class BagE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(first.isValid() && second.isValid()); }
    clitest::Run transfer(const QStringList &arguments) {
        return transferTool(
            QStringList{"transfer", "--dest", first.path(), "--dest", second.path(), "--bag"} + arguments,
            manifest.path());
    }

    testsupport::TempManifest manifest{testsupport::manifestWith({shortClip("SHOT01")})};
    QTemporaryDir first, second;
};

TEST_F(BagE2e, EachDestinationGetsABagThatChecksAndOutsideToolsAgreeWith) {
    const clitest::Run run =
        transfer({"--md5", "--framemd5", "--organization", "Archive of Moving Images", "SHOT01"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(second.filePath("REEL01/SHOT01/data/SHOT01.mxf"))) << run.out.toStdString();
    for (const QTemporaryDir *root : {&first, &second}) {
        const QString bag = root->filePath("REEL01/SHOT01");
        EXPECT_EQ(problemsOf(bag), QStringList());
        EXPECT_EQ(QDir(root->filePath("REEL01")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"SHOT01"});
        EXPECT_EQ(QDir(bag).entryList(QDir::Files, QDir::Name),
                  QStringList({"bag-info.txt", "bagit.txt", "manifest-md5.txt", "manifest-sha256.txt",
                               "tagmanifest-sha256.txt"}));
        EXPECT_EQ(QDir(bag + "/data").entryList(QDir::Files, QDir::Name),
                  QStringList({"SHOT01.framemd5", "SHOT01.json", "SHOT01.mxf", "SHOT01.mxf.sha256"}));

        const QString mxf = bag + "/data/SHOT01.mxf";
        EXPECT_TRUE(contentOf(bag + "/manifest-sha256.txt")
                        .contains(digestBy("sha256sum", mxf) + "  data/SHOT01.mxf\n"));
        EXPECT_TRUE(
            contentOf(bag + "/manifest-md5.txt").contains(digestBy("md5sum", mxf) + "  data/SHOT01.mxf\n"));
        const QString info = contentOf(bag + "/bag-info.txt");
        EXPECT_TRUE(info.contains("Source-Organization: Archive of Moving Images\n")) << info.toStdString();
        EXPECT_TRUE(info.contains("Internal-Sender-Identifier: SHOT01\n")) << info.toStdString();
        EXPECT_TRUE(info.contains("Internal-Sender-Description: reel REEL01, start time code"))
            << info.toStdString();
        const QJsonObject format = testsupport::ffprobe(mxf.toStdString()).json["format"].toObject();
        const QString umid = format["tags"].toObject()["material_package_umid"].toString().mid(2).toLower();
        ASSERT_EQ(umid.size(), 64);
        QString urn = "urn:smpte:umid:";
        for (int k = 0; k < 64; k += 8)
            urn += umid.mid(k, 8) + (k < 56 ? "." : "");
        EXPECT_TRUE(info.contains("External-Identifier: " + urn + "\n")) << info.toStdString();

        // The ASC MHL history lists every file of the bag, tag files too: nothing is left unlisted.
        const clitest::Run check = transferTool({"verify", "--no-record", root->path()});
        EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
    }

    // `verify` on a bag checks it as a bag: it names a changed byte of its payload.
    const QString bag = first.filePath("REEL01/SHOT01");
    const clitest::Run valid = transferTool({"verify", bag});
    EXPECT_EQ(valid.status, 0) << valid.out.toStdString() << valid.err.toStdString();
    EXPECT_EQ(valid.out, bag + ": verified, a valid BagIt bag\n");
    QFile mxf(bag + "/data/SHOT01.mxf");
    ASSERT_TRUE(mxf.open(QIODevice::ReadWrite));
    mxf.seek(mxf.size() / 2);
    const char flipped = char(~mxf.peek(1).at(0));
    ASSERT_EQ(mxf.write(&flipped, 1), 1);
    mxf.close();
    const clitest::Run damaged = transferTool({"verify", bag});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_TRUE(damaged.out.startsWith(bag + ": digest-mismatch: ")) << damaged.out.toStdString();
}

// A bag left half assembled by an earlier run is named as left over, and the next transfer of its clip
// replaces it.
TEST_F(BagE2e, ALeftOverIsNamedAndAnExistingBagIsReplacedOnlyWhenAsked) {
    const QString leftover = first.filePath("REEL01/SHOT01.bag.part");
    ASSERT_TRUE(QDir().mkpath(leftover + "/data"));
    const clitest::Run made = transfer({"SHOT01"});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.contains(leftover + " is left over")) << made.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(leftover));
    const QString bag = first.filePath("REEL01/SHOT01");
    QFile stray(bag + "/data/stray.txt");
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();

    const clitest::Run refused = transfer({"SHOT01"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(bag + " exists already")) << refused.err.toStdString();
    EXPECT_TRUE(QFile::exists(bag + "/data/stray.txt"));

    const clitest::Run replaced = transfer({"--overwrite", "SHOT01"});
    ASSERT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_EQ(problemsOf(bag), QStringList());
    EXPECT_FALSE(QFile::exists(bag + "/data/stray.txt"));
    EXPECT_EQ(QDir(first.filePath("REEL01")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"SHOT01"});
}

} // namespace
