#include "tests/ui/ThemedApplication.h"
#include "ui/QiroComboBox.h"
#include "ui/QiroComboBoxItemDelegate.h"
#include "ui/StyleSheet.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QPainter>
#include <QWheelEvent>
#include <gtest/gtest.h>

using testsupport::ThemedApplication;

namespace {

class ComboBox : public ::testing::Test {
protected:
    ThemedApplication app{qiro::kThemeDark};
};

std::vector<int> checkedRows(const QiroComboBox &box) {
    std::vector<int> rows;
    for (int row = 0; row < box.count(); ++row)
        if (box.comboModel()->item(row)->checkState() == Qt::Checked)
            rows.push_back(row);
    return rows;
}

int checkableRows(const QiroComboBox &box) {
    int count = 0;
    for (int row = 0; row < box.count(); ++row)
        count += box.comboModel()->item(row)->isCheckable() ? 1 : 0;
    return count;
}

// A wheel turn by one notch towards the user, at pos in the widget's coordinates.
bool turnWheel(QWidget &widget, QPoint pos) {
    QWheelEvent event(pos, widget.mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

// Paints one pop-up entry of box into a 200 x 20 image filled with the background colour.
constexpr int kRowWidth = 200;
constexpr int kRowHeight = 20;
const QColor kBackground(10, 10, 10);
const QColor kText(200, 0, 0);
const QColor kDisabledText(0, 0, 200);
const QColor kHighlight(0, 120, 0);
const QColor kHighlightedText(250, 250, 0);

QImage paintRow(const QiroComboBox &box, int row, QStyle::State extraState = {}) {
    QImage image(kRowWidth, kRowHeight, QImage::Format_RGB32);
    image.fill(kBackground);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, kRowWidth, kRowHeight);
    option.state = QStyle::State_Enabled | QStyle::State_Active | extraState;
    option.palette.setColor(QPalette::Text, kText);
    option.palette.setColor(QPalette::Disabled, QPalette::Text, kDisabledText);
    option.palette.setColor(QPalette::Highlight, kHighlight);
    option.palette.setColor(QPalette::HighlightedText, kHighlightedText);
    option.font = box.font();
    QPainter painter(&image);
    box.itemDelegate()->paint(&painter, option, box.comboModel()->index(row, 0));
    return image;
}

// The columns in which any pixel of the image has the colour's hue (anti-aliased text included).
struct Span {
    int left = -1;
    int right = -1;
    bool found() const { return left >= 0; }
};
Span columnsTinted(const QImage &image, const QColor &colour, int fromColumn = 0, int toColumn = kRowWidth) {
    Span span;
    for (int x = fromColumn; x < toColumn; ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel != kBackground && pixel.hue() == colour.hue() && pixel.saturation() > 100) {
                span.left = span.found() ? span.left : x;
                span.right = x;
                break;
            }
        }
    return span;
}

} // namespace

TEST_F(ComboBox, MarksTheCurrentEntryAndOnlyItAsChecked) {
    QiroComboBox box;
    box.addItems({"one", "two", "three"});
    EXPECT_EQ(checkedRows(box), std::vector<int>{0}) << "the first entry becomes current";
    box.setCurrentIndex(1);
    EXPECT_EQ(checkedRows(box), std::vector<int>{1});
    EXPECT_EQ(checkableRows(box), 1);
    EXPECT_TRUE(box.comboModel()->item(1)->isCheckable());

    box.setAllChecked(true);
    EXPECT_EQ(checkedRows(box), (std::vector<int>{0, 1, 2}));
    box.setCurrentIndex(-1);
    EXPECT_TRUE(checkedRows(box).empty());
    EXPECT_EQ(checkableRows(box), 0);
    box.indexHasChanged(3);
    EXPECT_TRUE(checkedRows(box).empty()) << "an index past the entries checks none";
}

TEST_F(ComboBox, RowsWithoutFlagsOfTheirOwnAnswerSelectableAndEnabled) {
    QiroComboBox box;
    for (int i = 0; i < 8; ++i)
        box.addItem(QString::number(i));
    QiroComboBoxModel &model = *box.comboModel();
    EXPECT_EQ(int(model.flags(model.index(7, 0))), 33);
    EXPECT_EQ(int(model.flags(QModelIndex())), 33);

    model.setRowFlags(5, Qt::ItemIsSelectable);
    EXPECT_EQ(model.rowsWithOwnFlags(), 6);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(model.flags(model.index(row, 0)), QiroComboBoxModel::kDefaultFlags) << "row " << row;
    EXPECT_EQ(model.flags(model.index(5, 0)), Qt::ItemIsSelectable);
    EXPECT_EQ(model.flags(model.index(6, 0)), QiroComboBoxModel::kDefaultFlags);

    model.setRowFlags(2, Qt::NoItemFlags);
    model.setRowFlags(-1, Qt::NoItemFlags);
    EXPECT_EQ(model.rowsWithOwnFlags(), 6);
    EXPECT_EQ(model.flags(model.index(2, 0)), Qt::NoItemFlags);
    EXPECT_EQ(model.flags(model.index(1, 0)), QiroComboBoxModel::kDefaultFlags);
}

TEST_F(ComboBox, SeparatorIsALineAcrossTheMiddleOfItsRow) {
    QiroComboBox box;
    box.addItems({"one", "two"});
    box.insertSeparator(1);
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(1), "");
    EXPECT_TRUE(box.itemIcon(1).isNull());
    EXPECT_EQ(box.itemData(1), QVariant(QiroComboBoxItemDelegate::kSeparatorMarker));

    const QImage image = paintRow(box, 1);
    const int middle = (0 + kRowHeight - 1) / 2;
    for (int y = 0; y < kRowHeight; ++y)
        for (int x = 0; x < kRowWidth; x += 7)
            EXPECT_EQ(image.pixelColor(x, y), y == middle ? QColor(55, 60, 64) : kBackground)
                << x << "," << y;
}

TEST_F(ComboBox, DisabledEntriesBetweenHyphensAreCentredHeadingsOthersStayLeftAligned) {
    QiroComboBox box;
    box.addItems({"- Boards -", "No Board", "-Transfer-"});
    box.comboModel()->setRowFlags(0, Qt::NoItemFlags);
    box.comboModel()->setRowFlags(1, Qt::NoItemFlags);
    box.setCurrentIndex(2);

    const Span heading = columnsTinted(paintRow(box, 0), kDisabledText);
    ASSERT_TRUE(heading.found());
    EXPECT_NEAR(heading.left + heading.right, kRowWidth - 1, 3) << heading.left << ".." << heading.right;

    const QImage disabled = paintRow(box, 1);
    const Span plain = columnsTinted(disabled, kDisabledText);
    ASSERT_TRUE(plain.found());
    EXPECT_GE(plain.left, 22);
    EXPECT_LT(plain.left, 26);
    EXPECT_FALSE(columnsTinted(disabled, kText).found());

    const Span text = columnsTinted(paintRow(box, 2), kText, 21);
    ASSERT_TRUE(text.found()) << "an enabled entry between hyphens is no heading";
    EXPECT_GE(text.left, 22);
    EXPECT_LT(text.left, 26);
}

TEST_F(ComboBox, OnlyTheCheckedEntryCarriesACheckMarkInItsFirstColumns) {
    QiroComboBox box;
    box.addItems({"one", "two"});
    EXPECT_TRUE(columnsTinted(paintRow(box, 0), kText, 0, 21).found()) << "checked";
    EXPECT_FALSE(columnsTinted(paintRow(box, 1), kText, 0, 21).found()) << "not checked";

    const QImage selected = paintRow(box, 1, QStyle::State_Selected);
    EXPECT_EQ(selected.pixelColor(kRowWidth - 1, 0), kHighlight);
    EXPECT_TRUE(columnsTinted(selected, kHighlightedText, 21).found());
    EXPECT_FALSE(columnsTinted(selected, kText).found());
}

TEST_F(ComboBox, WheelTurnsOutsideTheBoxAreLeftToItsParent) {
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *box = new QiroComboBox;
    auto *neighbour = new QWidget;
    neighbour->setMinimumSize(100, 40);
    layout->addWidget(box);
    layout->addWidget(neighbour);
    box->addItems({"one", "two", "three"});
    window.show();

    const QPoint overNeighbour = box->mapFrom(&window, neighbour->geometry().center());
    ASSERT_FALSE(box->rect().contains(overNeighbour));
    EXPECT_FALSE(turnWheel(*box, overNeighbour));
    EXPECT_EQ(box->currentIndex(), 0);

    EXPECT_TRUE(turnWheel(*box, box->rect().center()));
    EXPECT_EQ(box->currentIndex(), 1);
}

TEST_F(ComboBox, PopUpFrameTakesTheColoursTheSheetGivesTheList) {
    QiroComboBox box;
    box.addItems({"one", "two"});
    box.setStyleSheet("QComboBox {color: rgb(207,231,255);}"); // as the main window gives its boxes
    box.show();
    box.showPopup();
    const QPalette frame = box.view()->parentWidget()->palette();
    const QColor listBackground(27, 32, 36);
    EXPECT_EQ(box.view()->palette().color(QPalette::Base), listBackground);
    EXPECT_EQ(frame.color(QPalette::Base), listBackground);
    EXPECT_EQ(frame.color(QPalette::Window), listBackground);
    box.hidePopup();
}

TEST_F(ComboBox, CloakedIsAPropertyStyleSheetsSelectOn) {
    QiroComboBox box;
    EXPECT_FALSE(box.property("cloaked").toBool());
    ASSERT_TRUE(box.setProperty("cloaked", true));
    EXPECT_TRUE(box.isCloaked());
}
