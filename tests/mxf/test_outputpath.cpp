// Where a transfer writes: names from the recorder are untrusted, and none of them may lead the file out of
// the folder directly below the destination.

#include "mxf/OutputPath.h"

#include <QDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(OutputPathTest, PlainNamesAreKeptAsTheyAre) {
    const auto path = outputPathFor("/media/out", "REEL01", "A001C001");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->folder, "/media/out/REEL01");
    EXPECT_EQ(path->file, "/media/out/REEL01/A001C001.mxf");
    EXPECT_TRUE(path->replacements.isEmpty());
    EXPECT_EQ(safeNameComponent("Take 1 ..x"), QString("Take 1 ..x"));
}

// Names that differ only in bytes that are not UTF-8, or in a "%" that looks like an escape, stay distinct;
// valid UTF-8 (also four-byte sequences) is kept.
TEST(OutputPathTest, InvalidBytesAreEscapedSoThatDistinctNamesStayDistinct) {
    EXPECT_EQ(safeNameComponent("\xff"s), "%FF");
    EXPECT_EQ(safeNameComponent("%FF"s), "%25FF");
    EXPECT_EQ(safeNameComponent("Caf\xc3\xa9 \xf0\x9f\x8e\xac"s),
              QString::fromUtf8("Caf\xc3\xa9 \xf0\x9f\x8e\xac"));
    const std::vector<std::string> names{"A\xff"s,     "A\xfe"s,     "A\xc3"s,
                                         "A\xc3\x28"s, "A\xc0\xaf"s, "A\xed\xa0\x80"s,
                                         "A%FF"s,      "A%25FF"s,    "A\xf4\x90\x80\x80"s,
                                         "A\xe2\x82"s, "A%"s};
    QStringList made;
    for (const std::string &name : names)
        made << safeNameComponent(name);
    made.removeDuplicates();
    EXPECT_EQ(made.size(), qsizetype(names.size())) << made.join(" ").toStdString();
    EXPECT_EQ(outputPathFor("/out", "R", "A\xff"s)->replacements.size(), 1);
}

TEST(OutputPathTest, AnEmptyDestinationGivesNoPath) {
    EXPECT_FALSE(outputPathFor("", "REEL01", "A001C001"));
}

class UnsafeName : public ::testing::TestWithParam<std::string> {};

// Each unsafe name, as folder and as file name, stays one level below the destination, says so in the
// log, and never gives a name that the file system reads as "here" or "up".
TEST_P(UnsafeName, StaysDirectlyBelowTheDestination) {
    const std::string name = GetParam();
    const QString safe = safeNameComponent(name);
    EXPECT_FALSE(safe.isEmpty());
    EXPECT_NE(safe, ".");
    EXPECT_NE(safe, "..");
    for (const QChar c : safe)
        EXPECT_TRUE(c.unicode() >= 0x20 && c != u'/' && c != u'\\' && c.unicode() != 0x7f)
            << int(c.unicode());

    for (const auto &[folder, file] : {std::pair{name, "A001"s}, std::pair{"REEL01"s, name}}) {
        const auto path = outputPathFor("/media/out", folder, file);
        ASSERT_TRUE(path);
        const QStringList parts = QDir::cleanPath(path->file).split('/');
        ASSERT_EQ(parts.size(), 5) << path->file.toStdString();
        EXPECT_EQ(parts.mid(0, 3).join('/'), "/media/out");
        EXPECT_EQ(QDir::cleanPath(path->folder), parts.mid(0, 4).join('/'));
        EXPECT_TRUE(parts[4].endsWith(".mxf"));
        EXPECT_EQ(path->replacements.size(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(RecorderNames, UnsafeName,
                         ::testing::Values(""s, "."s, ".."s, "/"s, "../.."s, "a/b"s, "\\"s, "..\\x"s, "a\0b"s,
                                           "\0"s, "tab\there"s, "line\nbreak"s, "\x7f"s, "/etc/passwd"s));

} // namespace
