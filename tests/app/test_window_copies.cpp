// Copies to further folders from the window, and bags: a clip written to two folders from one play-out, each
// with its own history, the folder list kept across a restart and capped at four folders; a copy that fails
// alone; folders that overlap refused before anything starts.

#include "app/QIROSRTransferWidget.h"
#include "capture/QIROSRTransfer.h"
#include "delivery/BagCheck.h"
#include "mhl/History.h"
#include "tests/app/WindowFixture.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>

namespace {

using windowtest::WindowTest;

class WindowCopiesTest : public WindowTest {
protected:
    // Adds a further folder through the "Add Folder" button, the chooser answering `folder`.
    void addFolder(const QString &folder) {
        QDir().mkpath(folder);
        dialogs->folder = folder;
        QTest::mouseClick(child<QPushButton>("addFolderButton"), Qt::LeftButton);
    }
    // The further folders' rows that are shown, by their labels' texts.
    QStringList furtherRows() {
        QStringList texts;
        for (QLabel *label : window->findChildren<QLabel *>("furtherFolderLabel"))
            if (label->parentWidget()->isVisible())
                texts << label->text();
        return texts;
    }
    static QByteArray contents(const QString &path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }
    // The files the folder's only generation lists, by their paths below it.
    static QStringList historyFiles(const QString &folder) {
        const mhl::History history = mhl::loadHistory(folder);
        EXPECT_TRUE(history.problems.isEmpty()) << history.problems.join("; ").toStdString();
        EXPECT_EQ(history.generations.size(), 1u) << folder.toStdString();
        QStringList paths;
        if (!history.generations.empty())
            for (const mhl::FileHash &file : history.generations[0].generation.files)
                paths << file.path;
        return paths;
    }
};

TEST_F(WindowCopiesTest, AClipGoesToBothFoldersEachWithItsHistoryAndTheFoldersOutliveTheWindow) {
    install(QJsonArray{transfertest::clip("SHOT01", 8, 2, 2, false)});
    openWithFolder();
    const QString second = manifest->filePath("second");
    addFolder(second);
    EXPECT_EQ(dialogs->startedAt, manifest->filePath("out"));
    ASSERT_EQ(furtherRows().size(), 1);
    EXPECT_TRUE(furtherRows()[0].contains(second));
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());

    const QString first = outputFile("REEL01", "SHOT01");
    const QString copy = second + "/REEL01/SHOT01.mxf";
    EXPECT_FALSE(contents(first).isEmpty());
    EXPECT_EQ(contents(first), contents(copy));
    EXPECT_TRUE(historyFiles(manifest->filePath("out")).contains("REEL01/SHOT01.mxf"));
    EXPECT_TRUE(historyFiles(second).contains("REEL01/SHOT01.mxf"));
    EXPECT_EQ(statuses(), QStringList({"finished (verified)"}));
    EXPECT_TRUE(
        model()->item(0, Vantrel::kStatusColumn)->toolTip().contains("copy 2 of 2, " + copy + ": finished"));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    const BatchReport &summary = dialogs->summaries[0];
    EXPECT_TRUE(summary.clips()[0].files.contains(first));
    EXPECT_TRUE(summary.clips()[0].files.contains(copy));
    EXPECT_EQ(summary.hashLists().size(), 2);

    // The list survives a new window; it holds four folders in all at most, and a removed one goes.
    window.reset();
    open();
    ASSERT_EQ(furtherRows().size(), 1);
    EXPECT_TRUE(furtherRows()[0].contains(second));
    addFolder(manifest->filePath("third"));
    EXPECT_TRUE(child<QPushButton>("addFolderButton")->isEnabled());
    addFolder(manifest->filePath("fourth"));
    EXPECT_FALSE(child<QPushButton>("addFolderButton")->isEnabled());
    QTest::mouseClick(window->findChildren<QPushButton *>("removeFolderButton")[1], Qt::LeftButton);
    EXPECT_TRUE(child<QPushButton>("addFolderButton")->isEnabled());
    window.reset();
    EXPECT_EQ(QSettings("QIRO Video", "QIRO Vantrel").value("FurtherDestinationFolders").toStringList(),
              QStringList({second, manifest->filePath("fourth")}));
}

// A file where the second folder's REEL01 belongs: that copy cannot be opened, the first finishes.
TEST_F(WindowCopiesTest, ACopyThatFailsFailsItsClipAndTheFinishedCopyStays) {
    install(QJsonArray{transfertest::clip("SHOT01", 8, 2, 2, false)});
    openWithFolder();
    const QString second = manifest->filePath("second");
    addFolder(second);
    QFile(second + "/REEL01").open(QIODevice::WriteOnly);
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    const QString first = outputFile("REEL01", "SHOT01");
    EXPECT_TRUE(QFile::exists(first));
    EXPECT_TRUE(statuses()[0].startsWith("failed: the copy to " + second + " failed: "))
        << statuses()[0].toStdString();
    EXPECT_EQ(checked(), std::vector<bool>({true}));
    ASSERT_EQ(dialogs->summaries.size(), 1u);
    const BatchReport::Clip &clip = dialogs->summaries[0].clips()[0];
    EXPECT_EQ(clip.outcome, BatchReport::Outcome::Failed);
    EXPECT_EQ(clip.files.value(0), first);
    EXPECT_TRUE(historyFiles(manifest->filePath("out")).contains("REEL01/SHOT01.mxf"));
    EXPECT_FALSE(QDir(second + "/ascmhl").exists());
}

TEST_F(WindowCopiesTest, AFolderInsideTheDestinationIsRefusedBeforeAnythingStarts) {
    install(QJsonArray{transfertest::clip("SHOT01", 8, 2, 2, false)});
    openWithFolder();
    const QString inner = manifest->filePath("out/inner");
    addFolder(inner);
    window->checkAllFiles();
    pressStart();
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(dialogs->boxes[0].title, "Destination Folders");
    EXPECT_EQ(dialogs->boxes[0].text,
              "the destination " + inner + " lies inside the destination " + manifest->filePath("out"));
    EXPECT_TRUE(idle());
    EXPECT_EQ(child<QIROSRTransferWidget>("preview")->capture(), nullptr);
    EXPECT_EQ(checked(), std::vector<bool>({true}));
    EXPECT_FALSE(QDir(manifest->filePath("out/REEL01")).exists());
    EXPECT_FALSE(QDir(inner + "/REEL01").exists());
}

// With the bag setting, the finished clip becomes a bag that a BagIt check accepts, naming the organization,
// and the folder's history lists the bag's files.
TEST_F(WindowCopiesTest, WithTheBagSettingAClipBecomesAValidBagThatTheHistoryLists) {
    install(QJsonArray{transfertest::clip("SHOT01", 8, 2, 2, false)});
    openWithFolder();
    child<QCheckBox>("bagBox")->setChecked(true);
    child<QLineEdit>("organizationEdit")->setText("Film Archive");
    window->checkAllFiles();
    pressStart();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_EQ(statuses(), QStringList({"finished (verified)"}));
    const QString bag = manifest->filePath("out/REEL01/SHOT01");
    for (const BagProblem &problem : validateBag(bag))
        ADD_FAILURE() << problem.check.toStdString() << ": " << problem.detail.toStdString();
    EXPECT_TRUE(contents(bag + "/bag-info.txt").contains("Source-Organization: Film Archive"));
    const QStringList listed = historyFiles(manifest->filePath("out"));
    EXPECT_TRUE(listed.contains("REEL01/SHOT01/data/SHOT01.mxf")) << listed.join(' ').toStdString();
    EXPECT_TRUE(listed.contains("REEL01/SHOT01/tagmanifest-sha256.txt")) << listed.join(' ').toStdString();
}

} // namespace
