// The checks both front ends make before a transfer, and the restart budget of a clip that drops frames.

#include "batch/ClipRules.h"
#include "batch/RestartBudget.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// A 59.94i HQ clip of 10 frames with 8 sound channels: listed and transferable.
SRFileInfo goodClip() {
    SRFileInfo clip;
    clip.interlaced = 1;
    clip.fileValid = 1;
    clip.durationFrames = 10;
    clip.codec = 0;
    clip.rawTail[kRawTailSoundChannels] = 8;
    return clip;
}

struct ClipCase {
    const char *name;
    std::function<void(SRFileInfo &)> change;
    bool listed;
    const char *problem; // empty: transferable
};

class ClipRule : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipRule, ListsAndRefusesAsTheClipTableDoes) {
    SRFileInfo clip = goodClip();
    GetParam().change(clip);
    EXPECT_EQ(isListed(clip), GetParam().listed);
    const std::optional<QString> problem = clipProblem(clip);
    if (*GetParam().problem == '\0') {
        EXPECT_FALSE(problem) << problem->toStdString();
    } else {
        ASSERT_TRUE(problem);
        EXPECT_TRUE(problem->contains(GetParam().problem)) << problem->toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clips, ClipRule,
    ::testing::Values(
        ClipCase{"Interlaced", [](SRFileInfo &) {}, true, ""},
        ClipCase{"PsF", [](SRFileInfo &c) { c.interlaced = 0, c.psf = 1; }, true, ""},
        ClipCase{"SixteenChannels", [](SRFileInfo &c) { c.rawTail[kRawTailSoundChannels] = 16; }, true, ""},
        ClipCase{"Progressive", [](SRFileInfo &c) { c.interlaced = 0; }, false, "progressive"},
        ClipCase{"Stereo3D", [](SRFileInfo &c) { c.stereo3D = 1; }, false, "3D"},
        ClipCase{"NotValid", [](SRFileInfo &c) { c.fileValid = 0; }, false, "not valid"},
        ClipCase{"NoFrames", [](SRFileInfo &c) { c.durationFrames = 0; }, true, "no frames"},
        ClipCase{"UnknownQuality", [](SRFileInfo &c) { c.codec = 3; }, true, "quality 3"},
        ClipCase{"SeventeenChannels", [](SRFileInfo &c) { c.rawTail[kRawTailSoundChannels] = 17; }, true,
                 "17 sound channels"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DestinationTest, OnlyAnExistingWritableFolderTakesFiles) {
    QTemporaryDir folder;
    EXPECT_FALSE(destinationProblem(folder.path()));
    EXPECT_TRUE(destinationProblem("")->contains("no destination"));
    EXPECT_TRUE(destinationProblem(folder.filePath("missing"))->contains("does not exist"));
    QFile file(folder.filePath("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_TRUE(destinationProblem(file.fileName())->contains("not a folder"));
}

// Copies side by side: one folder by two spellings (a link, a trailing "/.."), or one inside another, would
// put one copy among the other's files; they are refused before anything starts.
TEST(DestinationTest, CopiesGoToFoldersApartFromEachOther) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("a/inner") && QDir(root.path()).mkpath("b"));
    ASSERT_TRUE(QFile::link(root.filePath("a"), root.filePath("link")));
    const QString a = root.filePath("a"), b = root.filePath("b");
    EXPECT_FALSE(destinationsProblem({a, b}, 4));
    EXPECT_EQ(destinationsProblem({a, root.filePath("link")}, 4).value_or(""),
              QString("the destinations %1 and %2 are the same folder").arg(a, root.filePath("link")));
    EXPECT_TRUE(
        destinationsProblem({a, root.filePath("a/inner/..")}, 4).value_or("").contains("the same folder"));
    EXPECT_EQ(destinationsProblem({root.filePath("a/inner"), a}, 4).value_or(""),
              QString("the destination %1 lies inside the destination %2").arg(root.filePath("a/inner"), a));
    EXPECT_TRUE(
        destinationsProblem({a, root.filePath("missing")}, 4).value_or("").contains("does not exist"));
    EXPECT_EQ(destinationsProblem({a, b, root.filePath("a/inner")}, 2).value_or(""),
              "at most 2 destinations, not 3");
}

TEST(RestartBudgetTest, AllowsTheGivenRestartsThenGivesUp) {
    for (const int allowed : {0, 1, 3}) {
        RestartBudget budget(allowed);
        for (int i = 1; i <= allowed; ++i) {
            EXPECT_TRUE(budget.takeRestart());
            EXPECT_EQ(budget.restartsUsed(), i);
        }
        EXPECT_FALSE(budget.takeRestart());
        EXPECT_FALSE(budget.takeRestart());
        EXPECT_EQ(budget.restartsUsed(), allowed);
    }
    EXPECT_EQ(RestartBudget().restartsAllowed(), 3);
    EXPECT_FALSE(RestartBudget(-2).takeRestart());
}

} // namespace
