// Where a transfer writes: names from the recorder are untrusted, and none of them may lead the file out of
// the folder directly below the destination.

#include "mxf/OutputPath.h"

#include <QDir>
#include <gtest/gtest.h>
#include <string>

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
        EXPECT_TRUE(c.unicode() >= 0x20 && c != u'/' && c != u'\\' && c.unicode() != 0x7f) << int(c.unicode());

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
