// Naming templates: every field filled in, the default giving the layout without a template for any name,
// values that could add folders or leave the destination made safe, malformed templates and clips without
// their metadata refused with the reason, and clips a template gives one file refused before the start.

#include "batch/NamingTemplate.h"

#include <QDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

SRFileInfo recordedClip(const std::string &folder, const std::string &name) {
    SRFileInfo clip;
    clip.sourcePath = QString("TESTVOL") + QChar(0) + "/CLIPS";
    clip.secondName = folder;
    clip.fileName = name;
    clip.startText = "10:02:03,04 ";
    clip.formatText = "59.94i 1080 4:2:2 10bit SR-HQ";
    clip.dateTime1 = SRDateTime{2026, 12, 7, 9, 30, 0, 0};
    return clip;
}

NamingTemplate parsed(const QString &text) {
    QString error;
    const std::optional<NamingTemplate> naming = NamingTemplate::parse(text, error);
    EXPECT_TRUE(naming) << error.toStdString();
    return naming.value_or(NamingTemplate());
}

QString fileOf(const QString &text, const SRFileInfo &clip, int index = 1,
               const MetadataPairs &metadata = {}) {
    QString error;
    const std::optional<OutputPath> path = parsed(text).outputPath("/out", clip, index, metadata, error);
    EXPECT_TRUE(path) << error.toStdString();
    return path ? path->file : QString();
}

TEST(NamingTemplateTest, FillsInEveryField) {
    const SRFileInfo clip = recordedClip("REEL01", "SHOT01");
    EXPECT_EQ(
        fileOf("{volume}/{date}/{reel}_{start}/{index}-{meta:Project}-{format}-{clip}", clip, 7,
               {{"project", "Blue Sky"}}),
        "/out/TESTVOL/2026-12-07/REEL01_10-02-03-04/7-Blue Sky-59.94i 1080 4:2:2 10bit SR-HQ-SHOT01.mxf");
    QString error;
    const auto path = parsed("{clip}").outputPath("/out", clip, 1, {}, error);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->folder, "/out");
    EXPECT_EQ(path->reportFile, "/out/SHOT01.json");
}

// The default, parsed or not, names every clip as the layout without a template does, unsafe names too.
TEST(NamingTemplateTest, TheDefaultGivesTheLayoutWithoutATemplate) {
    const std::vector<std::pair<std::string, std::string>> names{
        {"REEL01", "SHOT01"}, {"a/b", ".."}, {"", "."}, {"R\xff"s, "%41"}, {"R\x01"s, "C\\D"}};
    for (const NamingTemplate &naming : {NamingTemplate(), parsed("{reel}/{clip}")})
        for (const auto &[folder, name] : names) {
            QString error;
            const auto templated = naming.outputPath("/out", recordedClip(folder, name), 3, {}, error);
            const auto plain = outputPathFor("/out", folder, name);
            ASSERT_TRUE(templated && plain);
            EXPECT_EQ(templated->file, plain->file);
            EXPECT_EQ(templated->folder, plain->folder);
            EXPECT_EQ(templated->replacements, plain->replacements);
        }
    EXPECT_EQ(NamingTemplate().text(), "{reel}/{clip}");
}

// A value's "/", "..", control characters and backslashes never make a folder of their own: the file stays
// exactly as many levels below the destination as the template has parts.
TEST(NamingTemplateTest, ValuesNeverAddFoldersOrLeaveTheDestination) {
    const SRFileInfo clip = recordedClip("..", "../../etc/passwd");
    const QString file = fileOf("{reel}/{meta:Title}/{clip}", clip, 1, {{"Title", "a/..\n/b\x7f"}});
    EXPECT_EQ(file, "/out/__/a_..__b_/.._.._etc_passwd.mxf");
    EXPECT_EQ(QDir::cleanPath(file), file);
    EXPECT_EQ(fileOf("{meta:Title}/{clip}", clip, 1, {{"Title", ".."}}), "/out/__/.._.._etc_passwd.mxf");
}

TEST(NamingTemplateTest, RefusesMalformedTemplatesSayingWhy) {
    const std::vector<std::pair<QString, QString>> refusals{
        {"{reel}/{take}", "unknown field {take}"},
        {"{}", "unknown field {}"},
        {"{reel", "\"{\" without its \"}\" at character 1"},
        {"{re{el}", "\"{\" without its \"}\" at character 1"},
        {"reel}/{clip}", "\"}\" without its \"{\" at character 5"},
        {"{meta:}/{clip}", "{meta:} without a metadata name"},
        {"", "empty name at part 1"},
        {"/{clip}", "empty name at part 1"},
        {"{reel}//{clip}", "empty name at part 2"},
        {"{clip}/", "empty name at part 2"},
        {"../{clip}", "\"..\" as a name at part 1"},
        {"{reel}/./{clip}", "\".\" as a name at part 2"},
    };
    for (const auto &[text, why] : refusals) {
        QString error;
        EXPECT_FALSE(NamingTemplate::parse(text, error)) << text.toStdString();
        EXPECT_TRUE(error.contains(why)) << text.toStdString() << ": " << error.toStdString();
        EXPECT_TRUE(error.contains("\"" + text + "\"")) << error.toStdString();
    }
}

TEST(NamingTemplateTest, AClipWithoutItsMetadataIsRefusedNamingClipAndField) {
    const std::vector<SRFileInfo> clips{recordedClip("REEL01", "SHOT01"), recordedClip("REEL01", "SHOT02")};
    const BatchOutputs outputs =
        batchOutputPaths(clips, "/out", parsed("{meta:Project}/{clip}"), [](const SRFileInfo &clip) {
            return clip.fileName == "SHOT01" ? MetadataPairs{{"Project", "P"}}
                                             : MetadataPairs{{"Title", "T"}};
        });
    ASSERT_TRUE(outputs.problem);
    EXPECT_EQ(*outputs.problem,
              "the clip \"REEL01/SHOT02\" has no metadata value for {meta:Project} of the naming template");
}

TEST(NamingTemplateTest, ClipsATemplateGivesOneFileAreRefusedAndTheIndexTellsThemApart) {
    const std::vector<SRFileInfo> clips{recordedClip("REEL01", "SHOT01"), recordedClip("REEL02", "SHOT02"),
                                        recordedClip("REEL01", "SHOT03")};
    const BatchOutputs together = batchOutputPaths(clips, "/out", parsed("{reel}"));
    ASSERT_TRUE(together.problem);
    EXPECT_TRUE(together.problem->startsWith(
        "the clips \"REEL01/SHOT01\" and \"REEL01/SHOT03\" would both be written to /out/REEL01.mxf"))
        << together.problem->toStdString();

    const BatchOutputs apart = batchOutputPaths(clips, "/out", parsed("{reel}_{index}"));
    ASSERT_FALSE(apart.problem) << apart.problem->toStdString();
    ASSERT_EQ(apart.paths.size(), 3u);
    EXPECT_EQ(apart.paths[2].file, "/out/REEL01_3.mxf");
}

} // namespace
