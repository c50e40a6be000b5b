// The window and finished files already in the folder: it asks per clip whether to replace each one, and
// "Skip All" skips those that agree with their reports as --skip-existing does; two ticked clips that would
// share a file are refused before anything starts; the naming template places the files and the questions
// about them, and one that does not parse or cannot name a clip stops the batch before it starts.

#include "app/FinishedFileChoice.h"
#include "tests/app/WindowFixture.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <tuple>

namespace {

using windowtest::WindowTest;

class WindowFinishedFileTest : public WindowTest {
protected:
    void installTwoClips() {
        install(QJsonArray{transfertest::clip("SHOT01", 8, 2, 2, false),
                           transfertest::clip("SHOT02", 8, 2, 2, false)});
    }
    // Transfers every clip once, so that each has its finished file.
    void transferAll() {
        window->checkAllFiles();
        pressStart();
        ASSERT_TRUE(waitIdle());
        ASSERT_TRUE(dialogs->boxes.empty());
    }
    QDateTime written(const char *clip) { return QFileInfo(outputFile("REEL01", clip)).lastModified(); }
};

TEST_F(WindowFinishedFileTest, AsksPerClipAndReplaceAllAsksNoMore) {
    installTwoClips();
    openWithFolder();
    transferAll();
    const QDateTime before = written("SHOT01");
    dialogs->answers = {QMessageBox::No, QMessageBox::YesToAll};
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    for (const auto &[box, clip] : {std::pair{dialogs->boxes[0], "SHOT01"}, {dialogs->boxes[1], "SHOT02"}}) {
        EXPECT_EQ(box.icon, QMessageBox::Question);
        EXPECT_EQ(box.title, "File Exists");
        EXPECT_EQ(box.buttons, FinishedFileChoice::kReplaceButtons);
        EXPECT_TRUE(
            box.text.contains(outputFile("REEL01", clip) + " is there already. It agrees with its report."))
            << box.text.toStdString();
    }
    EXPECT_EQ(written("SHOT01"), before) << "skipped";
    EXPECT_EQ(checked(), std::vector<bool>(2, false));

    // Replace All: the next clip is replaced without a question.
    dialogs->boxes.clear();
    dialogs->answers = {QMessageBox::YesToAll};
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_GT(written("SHOT01"), before);
}

TEST_F(WindowFinishedFileTest, SkipAllSkipsTheFilesThatAgreeAndAsksAboutOneThatDoesNot) {
    installTwoClips();
    openWithFolder();
    transferAll();
    QFile cut(outputFile("REEL01", "SHOT02"));
    const qint64 whole = cut.size();
    ASSERT_TRUE(cut.resize(whole - 1));
    const QDateTime before = written("SHOT01");
    // Skip All on the first; the second no longer agrees with its report and is asked about again.
    dialogs->answers = {QMessageBox::NoToAll, QMessageBox::Yes};
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_TRUE(dialogs->boxes[1].text.contains("It does not agree with its report"))
        << dialogs->boxes[1].text.toStdString();
    EXPECT_EQ(written("SHOT01"), before);
    EXPECT_EQ(QFileInfo(outputFile("REEL01", "SHOT02")).size(), whole) << "replaced";

    // Skip All again: both agree now and are skipped without a question.
    dialogs->boxes.clear();
    dialogs->answers = {QMessageBox::NoToAll};
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(written("SHOT01"), before);
}

TEST_F(WindowFinishedFileTest, TickedClipsThatWouldShareAFileAreRefusedBeforeAnythingStarts) {
    install(QJsonArray{transfertest::clip("A/B", 8, 2, 2, false), transfertest::clip("A_B", 8, 2, 2, false)});
    openWithFolder();
    window->checkAllFiles();
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].title, "Clips Share a File");
    EXPECT_TRUE(dialogs->boxes[0].text.contains("\"REEL01/A/B\" and \"REEL01/A_B\""))
        << dialogs->boxes[0].text.toStdString();
    EXPECT_TRUE(idle());
    EXPECT_EQ(checked(), std::vector<bool>(2, true));
    EXPECT_FALSE(QDir(manifest->filePath("out/REEL01")).exists());
}

TEST_F(WindowFinishedFileTest, TheNamingTemplatePlacesTheFilesAndIsCheckedBeforeTheStart) {
    installTwoClips();
    openWithFolder();
    QComboBox *naming = window->findChild<QComboBox *>("namingBox");
    for (const auto &[text, title, why] :
         {std::tuple{"{reel}/{take}", "Naming Template", "unknown field {take}"},
          std::tuple{"{meta:Project}/{clip}", "Clips Cannot Be Named",
                     "has no metadata value for {meta:Project}"},
          std::tuple{"{reel}", "Clips Share a File", "would both be written to"}}) {
        dialogs->boxes.clear();
        naming->setCurrentText(text);
        window->checkAllFiles();
        pressStart();
        ASSERT_EQ(dialogs->boxes.size(), 1u) << text;
        EXPECT_EQ(dialogs->boxes[0].title, title);
        EXPECT_TRUE(dialogs->boxes[0].text.contains(why)) << dialogs->boxes[0].text.toStdString();
        EXPECT_TRUE(idle());
    }
    EXPECT_EQ(QDir(manifest->filePath("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());

    dialogs->boxes.clear();
    naming->setCurrentText("{reel}_{index}_{clip}");
    transferAll();
    const QString second = manifest->filePath("out/REEL01_2_SHOT02.mxf");
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_TRUE(QFileInfo::exists(manifest->filePath("out/REEL01_2_SHOT02.json")));
    // The question about a finished file names the file the template gives.
    dialogs->answers = {QMessageBox::NoToAll};
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_TRUE(
        dialogs->boxes[0].text.contains(manifest->filePath("out/REEL01_1_SHOT01.mxf") + " is there already"))
        << dialogs->boxes[0].text.toStdString();
}

} // namespace
