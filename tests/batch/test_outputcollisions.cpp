// Two clips of one batch whose files would land on one path are refused, naming both; names that differ
// only in bytes that are not text, or in a "%", keep paths of their own.

#include "batch/NamingTemplate.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace std::string_literals;

// Why the clips cannot be written together under the default naming.
std::optional<QString> collisionOf(const std::vector<SRFileInfo> &clips, const QString &destination) {
    return batchOutputPaths(clips, destination, NamingTemplate()).problem;
}

SRFileInfo clipNamed(const std::string &folder, const std::string &name) {
    SRFileInfo clip;
    clip.secondName = folder;
    clip.fileName = name;
    return clip;
}

TEST(OutputCollisionTest, NamesBothClipsThatWouldShareAFile) {
    const std::optional<QString> problem =
        collisionOf({clipNamed("REEL01", "A001"), clipNamed("REEL01", "a/b"), clipNamed("REEL02", "a/b"),
                     clipNamed("REEL01", "a_b")},
                    "/out");
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->toStdString(), "the clips \"REEL01/a/b\" and \"REEL01/a_b\" would both be written to "
                                      "/out/REEL01/a_b.mxf: transfer them into different folders or name "
                                      "them by another template");
    EXPECT_TRUE(collisionOf({clipNamed("R", "\xff"s), clipNamed("R", "\xff"s)}, "/out")
                    .value_or("")
                    .contains("\"R/\\xff\" and \"R/\\xff\""));
}

TEST(OutputCollisionTest, NamesThatDifferOnlyInBytesThatAreNotTextKeepFilesOfTheirOwn) {
    EXPECT_EQ(collisionOf({clipNamed("R", "A\xff"s), clipNamed("R", "A\xfe"s), clipNamed("R", "A%FF"s),
                           clipNamed("R\xc3"s, "A"), clipNamed("R\xc4"s, "A")},
                          "/out"),
              std::nullopt);
}

} // namespace
