// The operator's metadata: CSV as RFC 4180 quotes it, the JSON shape, --set texts, per-clip values over
// batch values, and each bad input refused with its file, line and problem.

#include "batch/CsvRecords.h"
#include "batch/UserMetadata.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QStringList kRecorderClips{"A001C001", "A001C002", "A001C003"};

class MetadataFile : public ::testing::Test {
protected:
    QString write(const QString &name, const QByteArray &content) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    // The problem reading `content` as the file `name`; empty when it was read.
    QString problemOf(const QString &name, const QByteArray &content) {
        const QString path = write(name, content);
        const std::optional<QString> problem = metadata.readFile(path, kRecorderClips);
        return problem ? problem->mid(path.size()) : QString();
    }

    QTemporaryDir folder;
    UserMetadata metadata;
};

TEST(CsvRecords, QuotedFieldsHoldCommasQuotesAndLineBreaksAndLinesCountFromTheRecordsStart) {
    const CsvRecords csv = readCsvRecords("\xEF\xBB\xBF"
                                          "clip,Notes\r\n"
                                          "A,\"one, \"\"two\"\"\"\r\n"
                                          "\n"
                                          "B,\"first\nsecond\"\n"
                                          "C,plain\n");
    ASSERT_FALSE(csv.problem);
    ASSERT_EQ(csv.records.size(), 4u);
    EXPECT_EQ(csv.records[0].fields, QStringList({"clip", "Notes"}));
    EXPECT_EQ(csv.records[1].fields, QStringList({"A", "one, \"two\""}));
    EXPECT_EQ(csv.records[2].fields, QStringList({"B", "first\nsecond"}));
    EXPECT_EQ(csv.records[2].line, 4);
    EXPECT_EQ(csv.records[3].line, 6);
    EXPECT_EQ(csv.records[3].fields, QStringList({"C", "plain"}));
}

TEST(CsvRecords, MalformedQuotingAndBadUtf8NameTheirLine) {
    const auto problemOf = [](const QByteArray &text) {
        const CsvRecords csv = readCsvRecords(text);
        return csv.problem ? QString("%1: %2").arg(csv.problem->line).arg(csv.problem->problem) : QString();
    };
    EXPECT_TRUE(problemOf("clip\nA,x\"y\n").startsWith("2: a quote inside a field"));
    EXPECT_TRUE(problemOf("clip\nA,\"x\"y\n").startsWith("2: text after the closing quote"));
    EXPECT_EQ(problemOf("clip\n\nA,\"x\n\n"), "3: a quoted field that begins on this line is never closed");
    EXPECT_EQ(problemOf("clip\nA,\xC3\x28\n"), "2: not UTF-8 text");
}

TEST_F(MetadataFile, CsvAndJsonGiveEachClipItsPairsOverTheBatchValues) {
    ASSERT_FALSE(metadata.setBatchPairs({{"Project", "Harbour"}, {"Operator", "Jo"}}, "--set"));
    const QString csv = write("sheet.csv", "clip,project,Scene,Note\n"
                                           "A001C001,Hafen Süd,12,\"a, b\"\n"
                                           "A001C002,,13,\n");
    ASSERT_EQ(metadata.readFile(csv, kRecorderClips), std::nullopt);
    // A clip's own value replaces the batch value in place (its name's spelling too); an empty cell is none.
    EXPECT_EQ(
        metadata.pairsFor("A001C001"),
        MetadataPairs({{"project", "Hafen Süd"}, {"Operator", "Jo"}, {"Scene", "12"}, {"Note", "a, b"}}));
    EXPECT_EQ(metadata.pairsFor("A001C002"),
              MetadataPairs({{"Project", "Harbour"}, {"Operator", "Jo"}, {"Scene", "13"}}));
    EXPECT_EQ(metadata.pairsFor("A001C003"), MetadataPairs({{"Project", "Harbour"}, {"Operator", "Jo"}}));

    const QString json = write("sheet.JSON", R"([{"clip": "A001C003", "Title": "Dämmerung \"1\""}])");
    ASSERT_EQ(metadata.readFile(json, kRecorderClips), std::nullopt);
    EXPECT_EQ(metadata.pairsFor("A001C003"),
              MetadataPairs({{"Project", "Harbour"}, {"Operator", "Jo"}, {"Title", "Dämmerung \"1\""}}));
}

TEST_F(MetadataFile, BadCsvIsRefusedWithItsLineAndProblem) {
    EXPECT_EQ(problemOf("m.csv", "clip,Title\nA001C009,x\n"),
              ":2: no clip named \"A001C009\" on the recorder (see: vantrel-transfer list)");
    EXPECT_EQ(problemOf("m.csv", "clip,Title,title\n"),
              ":1: the name \"title\" is given twice (\"Title\" before it; names ignore case)");
    EXPECT_EQ(problemOf("m.csv", "clip,Title,\n"), ":1: a metadata name is empty");
    EXPECT_EQ(problemOf("m.csv", "clip," + QByteArray(129, 'N') + "\n"),
              ":1: the name \"" + QString(32, 'N') + "...\" is longer than 128 characters");
    EXPECT_EQ(problemOf("m.csv", "clip,Title\n\nA001C001,\"two\nlines\"\n"),
              ":3: clip \"A001C001\", \"Title\": the value holds a control character (U+000A; tabs and line "
              "breaks are not allowed either)");
    EXPECT_TRUE(
        problemOf("m.csv", "clip,Title\nA001C001,a\tb\n")
            .startsWith(":2: clip \"A001C001\", \"Title\": the value holds a control character (U+0009;"));
    EXPECT_EQ(problemOf("m.csv", "clip,Title\nA001C001,x\nA001C001,y\n"),
              ":3: clip \"A001C001\" is given again (first at " + folder.filePath("m.csv") + ":2)");
    EXPECT_EQ(problemOf("m.csv", "clip,Title\nA001C001\n"), ":2: 1 fields where the header row has 2");
    EXPECT_EQ(problemOf("m.csv", "name,Title\n"),
              ":1: the header row's first field must be \"clip\", not \"name\"");
    EXPECT_EQ(problemOf("m.csv", "clip,Ti{tle}\n"),
              ":1: the name \"Ti{tle}\" holds \"{\" (names hold no \"=\", \"{\" or \"}\")");
    EXPECT_EQ(problemOf("m.csv", "clip, Title\n"), ":1: the name \" Title\" begins or ends with a space");
    EXPECT_TRUE(metadata.isEmpty());
}

TEST_F(MetadataFile, BadJsonIsRefusedWithItsEntryOrLine) {
    EXPECT_EQ(problemOf("m.json", "[\n{\"clip\": \"A001C001\",\n}]").left(20), ":3: not valid JSON: ");
    EXPECT_EQ(problemOf("m.json", R"({"A001C001": {}})"),
              ": the JSON must be an array of objects, one per clip, each with \"clip\"");
    EXPECT_EQ(problemOf("m.json", R"([{"clip": "A001C001", "Take": 3}])"),
              ": entry 1: the value of \"Take\" is not a string");
    EXPECT_EQ(problemOf("m.json", R"([{"clip": "A001C001"}, {"Title": "x"}])"),
              ": entry 2: \"clip\" with the clip's name as a string is missing");
    EXPECT_EQ(problemOf("m.json", R"([{"clip": "Z", "Title": "x"}])"),
              ": entry 1: no clip named \"Z\" on the recorder (see: vantrel-transfer list)");
    EXPECT_EQ(problemOf("m.json", R"([{"clip": "A001C001", "TITLE": "x", "Title": "y"}])"),
              ": entry 1: the name \"Title\" is given twice (\"TITLE\" before it; names ignore case)");
}

TEST(MetadataSetting, NameValueTextsAreSplitAtTheFirstEqualsSignAndChecked) {
    const ParsedSetting good = parseSetting("Note=a=b");
    ASSERT_TRUE(good.pair);
    EXPECT_EQ(*good.pair, (QPair<QString, QString>{"Note", "a=b"}));
    EXPECT_EQ(parseSetting("Title").problem, "\"Title\" is not NAME=VALUE");
    EXPECT_EQ(parseSetting("=x").problem, "a metadata name is empty");
    EXPECT_EQ(parseSetting("Title=").problem, "\"Title\" has no value");
    EXPECT_EQ(parseSetting("Title=a\x7f").problem,
              "\"Title\": the value holds a control character (U+007F; tabs and line breaks are not allowed "
              "either)");
    EXPECT_TRUE(parseSetting("Title=" + QString(kMaximumMetadataValueLength, 'v')).pair);
    EXPECT_EQ(parseSetting("Title=" + QString(kMaximumMetadataValueLength + 1, 'v')).problem,
              "\"Title\": the value is longer than 16384 characters");

    UserMetadata metadata;
    EXPECT_EQ(metadata.setBatchPairs({{"Title", "a"}, {"TITLE", "b"}}, "Metadata"),
              "Metadata: the name \"TITLE\" is given twice (\"Title\" before it; names ignore case)");
    EXPECT_TRUE(metadata.isEmpty());
}

} // namespace
