// The clip table: its rows and headers, ticking by clicks, and the context menu with its rescan.

#include "tests/app/WindowFixture.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

namespace {

using windowtest::WindowTest;

class ClipTableTest : public WindowTest {
protected:
    // The entries of the context menu (separators as "-", shortcuts after a tab), closing it unused.
    QStringList menuEntries() {
        QStringList entries;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                entries << (action->isSeparator() ? QString("-")
                                                  : action->text() + "\t" + action->shortcut().toString());
            menu->close();
        });
        window->tableContextPopup(QPoint(5, 5));
        return entries;
    }
};

TEST_F(ClipTableTest, ListsTransferableClipsWithTheirColumns) {
    installThreeClips();
    open();
    ASSERT_EQ(model()->rowCount(), 3);
    ASSERT_EQ(model()->columnCount(), 6);
    QStringList headers;
    for (int column = 0; column < 6; ++column)
        headers << model()->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(headers, QStringList({"FileName", "Start", "Duration", "Format", "Date", "Status"}));
    EXPECT_EQ(model()->item(0, 0)->text(), "SHOT01");
    EXPECT_EQ(model()->item(1, 0)->text(), "SHOT02"); // PROG01 is progressive: no row
    EXPECT_EQ(model()->item(2, 0)->text(), "SHOT03");
    EXPECT_EQ(model()->item(0, 1)->text().trimmed(), "01:00:00,00");
    for (int column = 0; column < 6; ++column)
        EXPECT_FALSE(model()->item(0, column)->flags() & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable));
}

// The recorder selects a clip by its name alone: both clips of one name are marked, the other is not.
TEST_F(ClipTableTest, ClipsSharingANameHaveAWarningOnTheirName) {
    install(QJsonArray{transfertest::clip("CLIP", 6, 2, 2, false, {{"secondName", "REEL01"}}),
                       transfertest::clip("OTHER", 6, 2, 2, false),
                       transfertest::clip("CLIP", 6, 2, 2, false, {{"secondName", "REEL02"}})});
    open();
    ASSERT_EQ(model()->rowCount(), 3);
    for (const int row : {0, 2}) {
        EXPECT_FALSE(model()->item(row, 0)->icon().isNull()) << row;
        EXPECT_EQ(model()->item(row, 0)->toolTip(),
                  "same name as another clip: the recorder may play the other one");
    }
    EXPECT_TRUE(model()->item(1, 0)->icon().isNull());
    EXPECT_TRUE(model()->item(1, 0)->toolTip().isEmpty());
}

TEST_F(ClipTableTest, AClickTogglesTheRowOnceAndASecondRestoresIt) {
    installThreeClips();
    open();
    clickRow(1, 3);
    EXPECT_EQ(checked(), std::vector<bool>({false, true, false}));
    clickRow(1, 2);
    EXPECT_EQ(checked(), std::vector<bool>({false, false, false}));
    // On the box itself: once, through the row click.
    const QRect cell = table()->visualRect(model()->index(2, 0));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 10, cell.center().y()));
    EXPECT_EQ(checked(), std::vector<bool>({false, false, true}));
}

TEST_F(ClipTableTest, ContextMenuOffersCheckingOnlyWhenTheRecorderHasClips) {
    install(QJsonArray{});
    open();
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_EQ(model()->headerData(4, Qt::Horizontal).toString(), "Date");
    EXPECT_EQ(menuEntries(), QStringList({"Rescan File List\t"}));

    const QStringList all{"Check All Files\tCtrl+A", "Uncheck All Files\tCtrl+Z", "-", "Rescan File List\t"};
    install(QJsonArray{transfertest::clip("PROG01", 12, 0, 2, false, {{"scan", 2}})});
    open();
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_EQ(menuEntries(), all);

    installThreeClips();
    open();
    EXPECT_EQ(menuEntries(), all);
}

TEST_F(ClipTableTest, CheckAllSkipsUnlistedClipsAndARescanUnchecksEveryRow) {
    installThreeClips();
    open();
    window->checkAllFiles();
    EXPECT_EQ(checked(), std::vector<bool>(3, true));
    window->uncheckAllFiles();
    EXPECT_EQ(checked(), std::vector<bool>(3, false));
    clickRow(0);
    clickRow(2);
    window->getFileList();
    EXPECT_EQ(checked(), std::vector<bool>(3, false));

    // A recorder that cannot be reached leaves the table as it was.
    window->checkAllFiles();
    install(QJsonArray{}, QJsonObject{{"boardPresent", false}});
    window->getFileList();
    EXPECT_EQ(checked(), std::vector<bool>(3, true));
}

} // namespace
