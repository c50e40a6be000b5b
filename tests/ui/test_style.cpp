#include "resources/Resources.h"
#include "tests/ui/ThemedApplication.h"
#include "ui/StyleSheet.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <gtest/gtest.h>
#include <memory>

using testsupport::ThemedApplication;

namespace {

constexpr int kAllThemes[] = {0, qiro::kThemeGrey, qiro::kThemeDark, qiro::kThemeSlate, 4};

// What style draws for element into a transparent 40 x 30 image, with option's rectangle (5, 5, 30, 20).
QImage drawn(const QStyle &style, QStyle::PrimitiveElement element, QStyleOption &option,
             const QWidget *widget) {
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    option.rect = QRect(5, 5, 30, 20);
    QPainter painter(&image);
    style.drawPrimitive(element, &option, &painter, widget);
    return image;
}

bool isBlank(const QImage &image) {
    QImage blank(image.size(), image.format());
    blank.fill(Qt::transparent);
    return image == blank;
}

} // namespace

TEST(QiroApplication, ThemesWithoutASheetStillInstallTheStyleAndItsPalette) {
    for (int theme : {0, 4}) {
        ThemedApplication app(theme);
        EXPECT_EQ(app->styleSheet(), "") << "theme " << theme;
        EXPECT_EQ(QApplication::style(), app->qiroStyle()) << "theme " << theme;
        EXPECT_EQ(app->qiroStyle()->theme(), theme);
        EXPECT_EQ(app->qiroStyle()->baseStyle()->name(), "fusion");
        EXPECT_EQ(QApplication::palette(), app->qiroStyle()->standardPalette()) << "theme " << theme;
    }
}

TEST(QiroApplication, DarkThemeAppliesTheDarkSheetOverItsStyle) {
    ThemedApplication app(qiro::kThemeDark);
    EXPECT_EQ(app->styleSheet(), qiro::buildStyleSheet(qiro::kThemeDark));
    EXPECT_FALSE(app->styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette(), app->qiroStyle()->standardPalette());
    QLineEdit edit;
    edit.ensurePolished();
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(207, 231, 255)) << "the sheet's line edit colour";
}

TEST(QiroStyle, NeverDrawsAFocusRectangle) {
    QStyleOptionFocusRect option;
    const QStyle::State focusedByKeyboard = QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    {
        ThemedApplication app(qiro::kThemeDark);
        QLineEdit widget;
        option.initFrom(&widget);
        option.state |= focusedByKeyboard;
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
        ASSERT_FALSE(isBlank(drawn(*fusion, QStyle::PE_FrameFocusRect, option, &widget)))
            << "the base style draws one";
    }
    for (int theme : kAllThemes) {
        ThemedApplication app(theme);
        QLineEdit widget;
        option.initFrom(&widget);
        option.state |= focusedByKeyboard;
        EXPECT_TRUE(isBlank(drawn(*app->qiroStyle(), QStyle::PE_FrameFocusRect, option, &widget)))
            << "theme " << theme;
        EXPECT_TRUE(isBlank(drawn(*QApplication::style(), QStyle::PE_FrameFocusRect, option, &widget)))
            << "theme " << theme << " through the application's style";
    }
}

TEST(QiroStyle, NeitherEtchesDisabledTextNorOpensComboBoxesAsLists) {
    ThemedApplication app(qiro::kThemeDark);
    const QiroStyle &style = *app->qiroStyle();
    EXPECT_EQ(style.styleHint(QStyle::SH_EtchDisabledText), 0);
    EXPECT_EQ(style.styleHint(QStyle::SH_ComboBox_Popup), 1);
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    EXPECT_NE(fusion->styleHint(QStyle::SH_ComboBox_Popup), 1) << "Fusion's own answer differs";
    EXPECT_EQ(style.styleHint(QStyle::SH_DialogButtonLayout),
              fusion->styleHint(QStyle::SH_DialogButtonLayout));
}

TEST(QiroStyle, SlateMenuCheckMarkIsTheSlateImageAtItsNaturalSize) {
    ThemedApplication app(qiro::kThemeSlate);
    const QImage mark = QImage(QString::fromLatin1(resources::kSlateCheckMark))
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(mark.isNull());
    QStyleOption option;
    option.state = QStyle::State_Enabled | QStyle::State_On;
    const QImage image = drawn(*app->qiroStyle(), QStyle::PE_IndicatorMenuCheckMark, option, nullptr);
    const QRect where(QPoint(5 + 5, 5 + 2), mark.size());
    EXPECT_EQ(image.copy(where), mark);
    QImage rest = image;
    QPainter eraser(&rest);
    eraser.setCompositionMode(QPainter::CompositionMode_Source);
    eraser.fillRect(where, Qt::transparent);
    eraser.end();
    EXPECT_TRUE(isBlank(rest)) << "nothing but the image";
}

TEST(QiroStyle, GivesAnMdiAreaTheWindowBackgroundUnderDarkAndSlateOnly) {
    for (int theme : kAllThemes) {
        ThemedApplication app(theme);
        QMdiArea area;
        area.ensurePolished();
        const bool darkOrSlate = theme == qiro::kThemeDark || theme == qiro::kThemeSlate;
        EXPECT_EQ(area.background() == QBrush(QColor(50, 57, 60)), darkOrSlate) << "theme " << theme;
    }
}
