// The ASC MHL history a destination root gets: each run that finishes a file adds a generation listing every
// file it left, with digests that outside tools agree with; `verify DIR` accepts the root after a transfer,
// after a second one and after its own check, and rejects a flipped byte, an edited manifest and a stray
// file; --no-mhl leaves the folder out.

#include "tests/cli/TransferTool.h"
#include "tests/support/TempManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <map>

namespace {

using clitest::transferTool;
using testsupport::shortClip;

// What a manifest says of one file, read here without the tool's own reader.
struct Listed {
    qint64 size = -1;
    QString xxh128;
    QString md5;
    QString action;
};

struct Manifest {
    QString process;
    QString author;
    QStringList ignore;
    std::map<QString, Listed> files;
};

Manifest readHashList(const QString &path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    Manifest manifest;
    QString current;
    while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == u"process") {
            manifest.process = xml.readElementText();
        } else if (name == u"author") {
            manifest.author = xml.readElementText();
        } else if (name == u"pattern") {
            manifest.ignore << xml.readElementText();
        } else if (name == u"path") {
            const qint64 size = xml.attributes().value("size").toLongLong();
            current = xml.readElementText();
            manifest.files[current].size = size;
        } else if (name == u"xxh128" || name == u"md5") {
            Listed &listed = manifest.files[current];
            listed.action = xml.attributes().value("action").toString();
            (name == u"xxh128" ? listed.xxh128 : listed.md5) = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return manifest;
}

// The first word a checksum tool prints for `path`.
QString digestBy(const QString &program, const QStringList &options, const QString &path) {
    const clitest::Run run = clitest::run(program, options + QStringList{path}, std::chrono::seconds(60));
    EXPECT_EQ(run.status, 0) << program.toStdString() << ": " << run.err.toStdString();
    return run.out.section(' ', 0, 0).trimmed();
}

class HashListE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    clitest::Run transfer(QStringList arguments) {
        return transferTool(QStringList{"transfer", "--dest", root.path()} + arguments, manifest.path());
    }
    clitest::Run verify(QStringList arguments = {}) {
        return transferTool(QStringList{"verify"} + arguments + QStringList{root.path()});
    }
    QStringList generations() const {
        return QDir(root.filePath("ascmhl")).entryList({"*.mhl"}, QDir::Files, QDir::Name);
    }
    QString generation(int index) const { return root.filePath("ascmhl/" + generations().value(index)); }
    static void flipByte(const QString &path, qint64 at) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(at));
        char byte = 0;
        ASSERT_TRUE(file.getChar(&byte));
        ASSERT_TRUE(file.seek(at));
        ASSERT_TRUE(file.putChar(char(byte ^ 0x01)));
    }
    // xmllint's verdict on `file` against the schema of that name; skipped without xmllint.
    static void expectValid(const QString &file, const QString &schema) {
        if (QStandardPaths::findExecutable("xmllint").isEmpty())
            return;
        const clitest::Run run = clitest::run(
            "xmllint", {"--noout", "--nonet", "--schema", QString(VANTREL_MHL_SCHEMAS "/") + schema, file},
            std::chrono::seconds(60));
        EXPECT_EQ(run.status, 0) << file.toStdString() << ": " << run.err.toStdString();
    }

    testsupport::TempManifest manifest{testsupport::manifestWith({shortClip("SHOT01"), shortClip("SHOT02")})};
    QTemporaryDir root;
};

TEST_F(HashListE2e, EachRunAddsAGenerationThatOutsideToolsAndVerifyAgreeWith) {
    const clitest::Run first = transfer({"--framemd5", "--md5", "--author", "Dana Reel", "SHOT01"});
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    ASSERT_EQ(generations().size(), 1);
    const QString rootName = QDir(root.path()).dirName();
    EXPECT_TRUE(QRegularExpression("^0001_" + QRegularExpression::escape(rootName) +
                                   "_\\d{4}-\\d\\d-\\d\\d_\\d{6}Z\\.mhl$")
                    .match(generations()[0])
                    .hasMatch())
        << generations()[0].toStdString();
    EXPECT_TRUE(first.err.contains("ASC MHL history: " + generation(0))) << first.err.toStdString();
    expectValid(generation(0), "ASCMHL.xsd");
    expectValid(root.filePath("ascmhl/ascmhl_chain.xml"), "ASCMHLDirectory__combined.xsd");

    const Manifest written = readHashList(generation(0));
    EXPECT_EQ(written.process, "transfer");
    EXPECT_EQ(written.author, "Dana Reel");
    EXPECT_TRUE(written.ignore.contains("vantrel-*.log")) << written.ignore.join(' ').toStdString();
    QStringList listed;
    for (const auto &[path, file] : written.files) {
        listed << path;
        const QString onDisk = root.filePath(path);
        EXPECT_EQ(file.size, QFileInfo(onDisk).size()) << path.toStdString();
        EXPECT_EQ(file.action, "original") << path.toStdString();
        EXPECT_EQ(file.xxh128, digestBy("xxhsum", {"-H2"}, onDisk)) << path.toStdString();
        EXPECT_EQ(file.md5, digestBy("md5sum", {}, onDisk)) << path.toStdString();
    }
    EXPECT_EQ(listed, QStringList({"REEL01/SHOT01.framemd5", "REEL01/SHOT01.json", "REEL01/SHOT01.mxf",
                                   "REEL01/SHOT01.mxf.sha256"}));

    // A second run into the same root adds the next generation, of its own files only.
    ASSERT_EQ(transfer({"SHOT02"}).status, 0);
    ASSERT_EQ(generations().size(), 2);
    EXPECT_TRUE(generations()[1].startsWith("0002_"));
    EXPECT_EQ(readHashList(generation(1)).files.size(), 3u);
    expectValid(generation(1), "ASCMHL.xsd");

    // The check passes, and records itself unless told not to.
    clitest::Run check = verify({"--no-record"});
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
    EXPECT_EQ(generations().size(), 2);
    check = verify();
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();
    ASSERT_EQ(generations().size(), 3);
    const Manifest verified = readHashList(generation(2));
    EXPECT_EQ(verified.process, "in-place");
    EXPECT_EQ(verified.files.size(), 7u);
    for (const auto &[path, file] : verified.files)
        EXPECT_EQ(file.action, "verified") << path.toStdString();
    expectValid(generation(2), "ASCMHL.xsd");
    expectValid(root.filePath("ascmhl/ascmhl_chain.xml"), "ASCMHLDirectory__combined.xsd");
    EXPECT_EQ(verify({"--no-record"}).status, 0);
}

TEST_F(HashListE2e, VerifyRejectsAFlippedByteAnEditedManifestAndAStrayFile) {
    ASSERT_EQ(transfer({"SHOT01"}).status, 0);
    const QString file = root.filePath("REEL01/SHOT01.mxf");
    flipByte(file, QFileInfo(file).size() / 2);
    clitest::Run check = verify();
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(check.out.contains("changed: REEL01/SHOT01.mxf")) << check.out.toStdString();
    EXPECT_EQ(generations().size(), 1) << "a failed check records nothing";
    flipByte(file, QFileInfo(file).size() / 2);
    ASSERT_EQ(verify({"--no-record"}).status, 0);

    QFile stray(root.filePath("REEL01/notes.txt"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write("not transferred");
    stray.close();
    check = verify({"--no-record"});
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(check.out.contains("not in the history: REEL01/notes.txt")) << check.out.toStdString();
    ASSERT_TRUE(stray.remove());

    const QString manifestPath = generation(0);
    QFile manifestFile(manifestPath);
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadOnly));
    QByteArray text = manifestFile.readAll();
    manifestFile.close();
    text.replace("<process>transfer</process>", "<process>in-place</process>");
    ASSERT_TRUE(manifestFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    manifestFile.write(text);
    manifestFile.close();
    check = verify({"--no-record"});
    EXPECT_EQ(check.status, 1);
    EXPECT_TRUE(check.out.contains(": history: ")) << check.out.toStdString();
}

TEST_F(HashListE2e, AFailedClipLeavesNothingUnlistedAndNoMhlLeavesTheFolderOut) {
    const testsupport::TempManifest faulty(
        testsupport::manifestWith({shortClip("SHOT01"), [] {
                                       QJsonObject clip = shortClip("STOPS");
                                       clip["faults"] = QJsonObject{{"stopsPlayingAfter", 4}};
                                       return clip;
                                   }()}));
    const clitest::Run run =
        transferTool({"transfer", "--dest", root.path(), "--all", "--stall-timeout", "2"}, faulty.path());
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(generations().size(), 1);
    EXPECT_EQ(readHashList(generation(0)).files.size(), 3u);
    const clitest::Run check = verify({"--no-record"});
    EXPECT_EQ(check.status, 0) << check.out.toStdString() << check.err.toStdString();

    QTemporaryDir bare;
    ASSERT_EQ(transferTool({"transfer", "--dest", bare.path(), "--no-mhl", "SHOT01"}, manifest.path()).status,
              0);
    EXPECT_FALSE(QFileInfo::exists(bare.filePath("ascmhl")));
    EXPECT_EQ(transferTool({"verify", bare.path()}).status, 1)
        << "a folder without a history does not verify";
}

} // namespace
