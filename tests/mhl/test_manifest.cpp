// Manifests and the chain file: written then read back, checked against the format's schemas by xmllint,
// and read from truncated, malformed and hostile text.

#include "TestRoot.h"
#include "mhl/C4Id.h"
#include "mhl/Chain.h"
#include "mhl/Manifest.h"
#include "tests/support/RecordingDurabilityCalls.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using mhltest::TestRoot;

mhl::Generation sampleGeneration() {
    const QDateTime created(QDate(2026, 12, 7), QTime(23, 10, 42), QTimeZone::utc());
    mhl::Generation generation;
    generation.created = created;
    generation.hostname = "ingest-2";
    generation.tool = "vantrel";
    generation.toolVersion = "1.4.0";
    generation.author = "Data & Wrangler";
    generation.ignore = mhl::defaultIgnorePatterns();
    // Hashes out of the schema's order, and a path with characters XML must escape.
    generation.files.push_back({"REEL02/A002C001 <take 2> & more.mxf",
                                118672701,
                                created.addSecs(-502),
                                {{mhl::kXxh128, "b1ed76a138442c369b9aa631d70dea12", mhl::kOriginal, created},
                                 {mhl::kMd5, "900150983cd24fb0d6963f7d28e17f72", mhl::kOriginal, created}}});
    generation.files.push_back({"REEL02/A002C001.json",
                                0,
                                QDateTime(),
                                {{mhl::kMd5, "d41d8cd98f00b204e9800998ecf8427e", mhl::kVerified, {}}}});
    return generation;
}

std::optional<mhl::Generation> read(const QByteArray &xml, QString &error) {
    return mhl::readManifest(xml, error);
}

TEST(ManifestTest, RoundTripKeepsEveryField) {
    const mhl::Generation written = sampleGeneration();
    const QByteArray xml = mhl::manifestXml(written);
    ASSERT_TRUE(xml.startsWith(R"(<?xml version="1.0" encoding="UTF-8"?>)"));
    EXPECT_TRUE(xml.contains("<creationdate>2026-12-07T23:10:42Z</creationdate>"));
    EXPECT_LT(xml.indexOf("<md5"), xml.indexOf("<xxh128")) << "the schema wants md5 before xxh128";

    QString error;
    const std::optional<mhl::Generation> back = read(xml, error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->created, written.created);
    EXPECT_EQ(back->hostname, written.hostname);
    EXPECT_EQ(back->tool, written.tool);
    EXPECT_EQ(back->toolVersion, written.toolVersion);
    EXPECT_EQ(back->author, written.author);
    EXPECT_EQ(back->process, mhl::kTransferProcess);
    EXPECT_EQ(back->ignore, written.ignore);
    ASSERT_EQ(back->files.size(), 2u);
    const mhl::FileHash &clip = back->files[0];
    EXPECT_EQ(clip.path, written.files[0].path);
    EXPECT_EQ(clip.size, 118672701);
    EXPECT_EQ(clip.modified, written.files[0].modified);
    ASSERT_EQ(clip.hashes.size(), 2u);
    EXPECT_EQ(clip.hashes[0].format, mhl::kMd5);
    EXPECT_EQ(clip.hashes[0].value, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(clip.hashes[1].format, mhl::kXxh128);
    EXPECT_EQ(clip.hashes[1].value, "b1ed76a138442c369b9aa631d70dea12");
    EXPECT_EQ(clip.hashes[1].action, mhl::kOriginal);
    EXPECT_EQ(clip.hashes[1].date, written.created);
    const mhl::FileHash &report = back->files[1];
    EXPECT_EQ(report.size, 0);
    EXPECT_FALSE(report.modified.isValid());
    ASSERT_EQ(report.hashes.size(), 1u);
    EXPECT_EQ(report.hashes[0].action, mhl::kVerified);
    EXPECT_FALSE(report.hashes[0].date.isValid());
    // Written again, the same bytes: a manifest read back and rewritten keeps its C4 id.
    EXPECT_EQ(mhl::manifestXml(*back), xml);
}

// Runs xmllint on `file` with `schema`; "" when it validates, else what xmllint said.
QString schemaErrors(const QString &schema, const QString &file) {
    QProcess xmllint;
    xmllint.start(QStandardPaths::findExecutable("xmllint"),
                  {"--noout", "--nonet", "--schema", QString(MHL_SCHEMA_DIR) + "/" + schema, file});
    if (!xmllint.waitForFinished(30000))
        return "xmllint did not finish";
    return xmllint.exitCode() == 0 ? QString() : QString::fromLocal8Bit(xmllint.readAllStandardError());
}

TEST(ManifestTest, WrittenHistoryPassesTheSchemasAndIsNamedByGeneration) {
    if (QStandardPaths::findExecutable("xmllint").isEmpty())
        GTEST_SKIP() << "xmllint (libxml2-utils) is not installed";
    const TestRoot root;
    root.write("REEL01/A001C001.mxf", "essence");
    root.write("REEL01/A001C001.json", "{}");
    const QString first = root.append(root.generation({{"REEL01/A001C001.mxf", mhl::kXxh128}}));
    mhl::Generation second = sampleGeneration();
    second.files.push_back(root.entry("REEL01/A001C001.json", mhl::kMd5));
    const QString latest = root.append(second);

    EXPECT_TRUE(
        QRegularExpression(R"(/ascmhl/0001_A002_CARD_2026-12-07_231042Z\.mhl$)").match(first).hasMatch())
        << first.toStdString();
    EXPECT_TRUE(
        QRegularExpression(R"(/ascmhl/0002_A002_CARD_2026-12-07_231042Z\.mhl$)").match(latest).hasMatch())
        << latest.toStdString();
    const QString chainPath = root.filePath("ascmhl/ascmhl_chain.xml");
    for (const QString &manifest : {first, latest})
        EXPECT_EQ(schemaErrors("ASCMHL.xsd", manifest), "");
    EXPECT_EQ(schemaErrors("ASCMHLDirectory__combined.xsd", chainPath), "");

    QString error;
    const auto chain = mhl::readChain(root.read("ascmhl/ascmhl_chain.xml"), error);
    ASSERT_TRUE(chain) << error.toStdString();
    ASSERT_EQ(chain->size(), 2u);
    EXPECT_EQ((*chain)[1].sequence, 2);
    EXPECT_EQ((*chain)[1].path, QFileInfo(latest).fileName());
    EXPECT_EQ((*chain)[1].c4, mhl::c4Id(root.read("ascmhl/" + (*chain)[1].path)));
    EXPECT_FALSE(QFile::exists(chainPath + ".part"));

    // The validation is not vacuous: hashes out of the schema's order are refused.
    QByteArray misordered = root.read("ascmhl/" + QFileInfo(latest).fileName());
    misordered.replace("<md5", "<xxh64").replace("</md5>", "</xxh64>");
    root.write("misordered.mhl", misordered);
    EXPECT_NE(schemaErrors("ASCMHL.xsd", root.filePath("misordered.mhl")), "");
}

TEST(HistoryTest, AppendsTheSyncedManifestBeforeTheChainAndLeavesNothingWhenItFails) {
    const TestRoot root;
    root.write("A001C001.mxf", "essence");
    {
        testsupport::RecordingDurabilityCalls calls(root.path());
        const QString manifest =
            QFileInfo(root.append(root.generation({{"A001C001.mxf", mhl::kXxh128}}))).fileName();
        const std::vector<std::string> expected{
            "sync .", // the new ascmhl folder's entry
            "write ascmhl/" + manifest.toStdString(),
            "sync ascmhl/" + manifest.toStdString(),
            "write ascmhl/ascmhl_chain.xml.part",
            "sync ascmhl/ascmhl_chain.xml.part",
            "sync ascmhl", // after the rename over ascmhl_chain.xml
        };
        EXPECT_EQ(calls.recorded(), expected);
    }
    const QByteArray chain = root.read("ascmhl/ascmhl_chain.xml");
    const QStringList manifests = QDir(root.filePath("ascmhl")).entryList(QDir::Files);
    {
        // The disk fills while the chain is synced: no second generation, and no manifest the chain lacks.
        testsupport::RecordingDurabilityCalls calls(root.path());
        calls.failing = "sync ascmhl/ascmhl_chain.xml.part";
        calls.failWith = ENOSPC;
        QString error;
        EXPECT_FALSE(mhl::appendGeneration(root.path(), root.generation({}, 1), error));
        EXPECT_TRUE(error.startsWith("disk full")) << error.toStdString();
    }
    EXPECT_EQ(root.read("ascmhl/ascmhl_chain.xml"), chain);
    EXPECT_EQ(QDir(root.filePath("ascmhl")).entryList(QDir::Files), manifests);
    EXPECT_TRUE(mhl::loadHistory(root.path()).problems.isEmpty());
}

TEST(ManifestTest, CorruptOrHostileTextIsAnErrorNotACrash) {
    const QByteArray xml = mhl::manifestXml(sampleGeneration());
    const qsizetype end = xml.indexOf("</hashlist>");
    QString error;
    for (qsizetype length = 0; length <= end; ++length) {
        error.clear();
        EXPECT_FALSE(read(xml.left(length), error)) << "accepted the first " << length << " bytes";
        EXPECT_FALSE(error.isEmpty());
    }
    const std::vector<std::pair<QByteArray, QByteArray>> edits{
        {"urn:ASC:MHL:v2.0", "urn:ASC:MHL:v1.9"},
        {R"(version="2.0")", R"(version="1.0")"},
        {"REEL02/A002C001.json", "../../etc/passwd"},
        {"REEL02/A002C001.json", "/etc/passwd"},
        {"REEL02/A002C001.json", "REEL02//A002C001.json"},
        {R"(size="118672701")", R"(size="-5")"},
        {R"(size="118672701")", R"(size="many")"},
        {"900150983cd24fb0d6963f7d28e17f72", "900150983cd24fb0d6963f7d28e17f7"},
        {"900150983cd24fb0d6963f7d28e17f72", "900150983cd24fb0d6963f7d28e17fzz"},
        {"2026-12-07T23:10:42Z</creationdate>", "yesterday</creationdate>"},
        {"<process>transfer</process>", ""},
        {"<hashlist", "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><hashlist"},
        {"</hashlist>", "</hashlist><hashlist/>"},
    };
    for (const auto &[from, to] : edits) {
        QByteArray edited = xml;
        edited.replace(from, to);
        error.clear();
        EXPECT_FALSE(read(edited, error)) << to.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    QByteArray garbage(4096, Qt::Uninitialized);
    for (qsizetype k = 0; k < garbage.size(); ++k)
        garbage[k] = char((k * 7919) % 251);
    EXPECT_FALSE(read(garbage, error));

    const QByteArray chain = mhl::chainXml({{1, "0001_A_2026-12-07_231042Z.mhl", mhl::c4Id("a")},
                                            {2, "0002_A_2026-12-07_231043Z.mhl", mhl::c4Id("b")}});
    ASSERT_TRUE(mhl::readChain(chain, error));
    EXPECT_FALSE(mhl::readChain(chain.left(chain.indexOf("</ascmhldirectory>")), error));
    EXPECT_FALSE(mhl::readChain(QByteArray(chain).replace(R"(sequencenr="2")", R"(sequencenr="1")"), error));
    EXPECT_FALSE(mhl::readChain(QByteArray(chain).replace("0002_A", "../0002_A"), error));
    EXPECT_FALSE(mhl::readChain(QByteArray(chain).replace(R"(sequencenr="2")", R"(sequencenr="0")"), error));
    EXPECT_FALSE(mhl::readChain(garbage, error));
}

} // namespace
