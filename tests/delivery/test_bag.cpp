// BagIt bags: the tags this tool writes make a bag the check accepts, the check names each kind of damage
// a receiver would find, and a bag is assembled under its in-progress name and swapped in whole, replacing
// an older bag only after the new one is complete.

#include "delivery/BagCheck.h"
#include "delivery/BagLayout.h"
#include "tests/support/FileWriting.h"
#include "tests/support/RecordingDurabilityCalls.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::writeWholeFile;

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

PayloadFile payloadOf(const QString &name, const QByteArray &bytes) {
    return {name, uint64_t(bytes.size()), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
            QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()};
}

QStringList checksOf(const std::vector<BagProblem> &problems) {
    QStringList checks;
    for (const BagProblem &problem : problems)
        checks << problem.check;
    return checks;
}

// A bag of two payload files, one with a line break and a "%" in its name.
class BagCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        bag = folder.filePath("SHOT01");
        const std::vector<std::pair<QString, QByteArray>> files{{"SHOT01.mxf", "essence bytes"},
                                                                {"odd\nname 100%.json", "{}"}};
        for (const auto &[name, bytes] : files) {
            writeWholeFile(bag + "/data/" + name, bytes);
            payload.push_back(payloadOf(name, bytes));
        }
        BagInfo info{QDate(2026, 12, 8),
                     "Archive of Moving Images",
                     "urn:smpte:umid:060a2b34",
                     "tool 1.0",
                     "SHOT01",
                     "reel REEL01, start time code 01:00:00:00"};
        QStringList written;
        ASSERT_EQ(writeBagTags(bag, payload, info, written), std::nullopt);
        EXPECT_EQ(written, QStringList({"bagit.txt", "manifest-sha256.txt", "manifest-md5.txt",
                                        "bag-info.txt", "tagmanifest-sha256.txt"}));
    }

    QTemporaryDir folder;
    QString bag;
    std::vector<PayloadFile> payload;
};

TEST_F(BagCheck, AcceptsTheBagItWrote) {
    EXPECT_EQ(checksOf(validateBag(bag)), QStringList());
    EXPECT_EQ(readFile(bag + "/bagit.txt"), "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n");
    EXPECT_TRUE(readFile(bag + "/manifest-sha256.txt").contains("  data/odd%0Aname 100%25.json\n"));
    const QByteArray info = readFile(bag + "/bag-info.txt");
    EXPECT_TRUE(info.contains("Payload-Oxum: 15.2\n")) << info.toStdString();
    EXPECT_TRUE(info.contains("Bagging-Date: 2026-12-08\n"));
    EXPECT_TRUE(info.contains("Source-Organization: Archive of Moving Images\n"));
}

TEST_F(BagCheck, NamesAFlippedPayloadByte) {
    QByteArray bytes = readFile(bag + "/data/SHOT01.mxf");
    bytes[3] = char(bytes[3] ^ 0x01);
    writeWholeFile(bag + "/data/SHOT01.mxf", bytes);
    // Once for each payload manifest.
    EXPECT_EQ(checksOf(validateBag(bag)), QStringList({"digest-mismatch", "digest-mismatch"}));
}

TEST_F(BagCheck, NamesAMissingFileAndAnUnlistedOne) {
    ASSERT_TRUE(QFile::rename(bag + "/data/SHOT01.mxf", bag + "/data/SHOT02.mxf"));
    const QStringList checks = checksOf(validateBag(bag));
    EXPECT_EQ(checks.count("file-missing"), 2);
    EXPECT_EQ(checks.count("payload-unlisted"), 2);
    ASSERT_TRUE(QFile::remove(bag + "/tagmanifest-sha256.txt") && QFile::remove(bag + "/bagit.txt"));
    EXPECT_TRUE(checksOf(validateBag(bag)).contains("bagit-txt"));
}

TEST_F(BagCheck, NamesAWrongOxumAndAChangedTagFile) {
    QByteArray info = readFile(bag + "/bag-info.txt");
    info.replace("Payload-Oxum: 15.2", "Payload-Oxum: 16.2");
    writeWholeFile(bag + "/bag-info.txt", info);
    EXPECT_EQ(checksOf(validateBag(bag)), QStringList({"payload-oxum", "digest-mismatch"}));
}

TEST_F(BagCheck, RefusesManifestPathsOutsideTheBag) {
    writeWholeFile(bag + "/manifest-sha256.txt", QByteArray(64, 'a') + "  data/../../etc/passwd\n" +
                                                     QByteArray(64, 'a') + "  bagit.txt\nnot a line\n");
    const QStringList checks = checksOf(validateBag(bag));
    EXPECT_EQ(checks.count("manifest-line"), 3) << checks.join(", ").toStdString();
}

TEST(BagTags, FoldsLongValuesAndKeepsEachLabelOnOneLogicalLine) {
    BagInfo info;
    info.sourceOrganization = QString("word ").repeated(40) + "\nInjected-Label: value";
    const QString text = QString::fromUtf8(bagInfoText(info, {}));
    for (const QString &line : text.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_LE(line.size(), kBagInfoLineLength) << line.toStdString();
        EXPECT_FALSE(line.startsWith("Injected-Label"));
    }
    EXPECT_TRUE(text.contains("\n  word"));
    EXPECT_EQ(decodeManifestPath(encodeManifestPath("a%0A\r\nb")), QString("a%0A\r\nb"));
    EXPECT_EQ(decodeManifestPath("bad%zz"), std::nullopt);
}

OutputPath clipPath(const QString &folder) {
    OutputPath path;
    path.folder = folder;
    path.file = folder + "/SHOT01.mxf";
    path.partFile = path.file + ".part";
    path.reportFile = folder + "/SHOT01.json";
    path.checksumFile = path.file + ".sha256";
    path.frameMd5File = folder + "/SHOT01.framemd5";
    return path;
}

// An older bag under the final name and a leftover of an earlier try under the in-progress name.
TEST(BagLayout, AssemblesUnderItsInProgressNameAndReplacesAnOlderBagWhole) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const OutputPath path = clipPath(root.filePath("REEL01"));
    const BagPaths paths = bagPathsOf(path);
    EXPECT_EQ(paths.bag, path.folder + "/SHOT01");
    EXPECT_EQ(paths.payload.file, path.folder + "/SHOT01/data/SHOT01.mxf");
    writeWholeFile(paths.bag + "/data/OLD.mxf", "old");
    writeWholeFile(paths.inProgress + "/data/LEFTOVER", "from an earlier try");
    writeWholeFile(path.partFile, "essence bytes");
    writeWholeFile(path.frameMd5File + ".part", "#framemd5\n");

    ASSERT_EQ(startBag(paths), std::nullopt);
    writeWholeFile(paths.staged.reportFile, "{}");
    const QByteArray essence = "essence bytes";
    const FileDigests digests{QCryptographicHash::hash(essence, QCryptographicHash::Sha256).toHex(), {}, {}};
    const BagResult result = commitBag(
        paths, {path.partFile, digests, {{path.frameMd5File + ".part", paths.staged.frameMd5File}}}, {}, {});
    ASSERT_TRUE(result.committed) << result.problem.value_or("").toStdString();
    EXPECT_EQ(checksOf(validateBag(paths.bag)), QStringList());
    EXPECT_EQ(QDir(path.folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"SHOT01"});
    EXPECT_EQ(QDir(paths.bag + "/data").entryList(QDir::Files),
              QStringList({"SHOT01.framemd5", "SHOT01.json", "SHOT01.mxf"}));
    QStringList expected{"data/SHOT01.framemd5", "data/SHOT01.json", "bagit.txt",
                         "manifest-sha256.txt",  "bag-info.txt",     "tagmanifest-sha256.txt"};
    for (QString &file : expected)
        file = paths.bag + "/" + file;
    EXPECT_EQ(result.files, expected);
}

// Every file and both folders are synced before the bag takes its name; a bag that cannot take it leaves
// only in-progress names beside the older bag, which keeps its own.
TEST(BagLayout, SyncsBeforeTheSwapAndAFailedSwapLeavesOnlyInProgressNames) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const OutputPath path = clipPath(root.path());
    const BagPaths paths = bagPathsOf(path);
    writeWholeFile(paths.bag + "/data/OLD.mxf", "old");
    writeWholeFile(path.partFile, "essence bytes");
    ASSERT_EQ(startBag(paths), std::nullopt);
    testsupport::RecordingDurabilityCalls calls(root.path());
    calls.failing = "rename SHOT01.bag.part SHOT01";
    calls.failWith = EIO;
    const BagResult failed = commitBag(paths, {path.partFile, {"0", {}, {}}, {}}, {}, {});
    EXPECT_FALSE(failed.committed);
    EXPECT_EQ(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"SHOT01", "SHOT01.bag.part"}));
    EXPECT_TRUE(QFile::exists(paths.bag + "/data/OLD.mxf"));
    EXPECT_TRUE(QFile::exists(paths.staged.file));

    const std::vector<std::string> recorded = calls.recorded();
    const auto at = [&recorded](const std::string &call) {
        return std::find(recorded.begin(), recorded.end(), call) - recorded.begin();
    };
    const auto swap = at("rename SHOT01.bag.part SHOT01");
    ASSERT_LT(swap, qsizetype(recorded.size()));
    for (const std::string synced :
         {"sync SHOT01.bag.part/bagit.txt", "sync SHOT01.bag.part/tagmanifest-sha256.txt",
          "sync SHOT01.bag.part/data", "sync SHOT01.bag.part", "sync ."})
        EXPECT_LT(at(synced), swap) << synced;
    EXPECT_LT(at("rename SHOT01.mxf.part SHOT01.bag.part/data/SHOT01.mxf"), at("sync SHOT01.bag.part/data"));
    EXPECT_LT(at("rename SHOT01 SHOT01.bag-old.part"), swap);
}

} // namespace
