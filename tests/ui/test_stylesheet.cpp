#include "ui/ColourTokens.h"
#include "ui/StyleSheet.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qiro;

namespace {

// A folder holding the three theme sheets, each with the same text.
class SheetFolder {
public:
    explicit SheetFolder(const QString &text) {
        for (const char *name : {"grey.css", "dark.css", "slate.css"}) {
            QFile file(folder.filePath(QLatin1String(name)));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text.toUtf8());
        }
    }
    QString path() const { return folder.path(); }
    void remove(const char *name) { QFile::remove(folder.filePath(QLatin1String(name))); }

private:
    QTemporaryDir folder;
};

} // namespace

TEST(ColourText, IsRgbWhenOpaqueAndRgbaWithAnIntegerAlphaOtherwise) {
    EXPECT_EQ(colourText(QColor(27, 32, 36)), "rgb(27,32,36)");
    EXPECT_EQ(colourText(QColor(27, 32, 36, 0)), "rgba(27,32,36,0)");
    EXPECT_EQ(colourText(QColor(1, 2, 3, 1)), "rgba(1,2,3,1)");
    EXPECT_EQ(colourText(QColor(159, 136, 10, 207)), "rgba(159,136,10,207)");
    EXPECT_EQ(colourText(QColor(255, 255, 255, 254)), "rgba(255,255,255,254)");
}

TEST(ColourTokens, ReplaceTheLongerOfTwoTokensThatBeginAlikeFirst) {
    const QString sheet = "a{color:qirodark_charcoalGreyColorAlpha100;background:qirodark_charcoalGreyColor}"
                          "b{c:qirodark_charcoalGreyColorAlpha0}"
                          "c{stop:0.2 qirodark_progressBarGradient0_2,stop:0 qirodark_progressBarGradient0}"
                          "d{top:qirodark_buttonTopBorderDisabled;bottom:qirodark_buttonTopBorder}";
    EXPECT_EQ(replaceColourTokens(sheet, darkColourTokens()),
              "a{color:rgba(27,32,36,100);background:rgb(27,32,36)}"
              "b{c:rgba(27,32,36,0)}"
              "c{stop:0.2 rgb(57,66,96),stop:0 rgb(55,76,101)}"
              "d{top:rgb(55,63,65);bottom:rgb(94,107,111)}");
}

TEST(ColourTokens, NoTableNamesATokenBeforeALongerTokenItBegins) {
    ASSERT_EQ(darkColourTokens().size(), 94u);
    ASSERT_EQ(slateColourTokens().size(), 105u);
    for (const auto *table : {&darkColourTokens(), &slateColourTokens()})
        for (size_t i = 0; i < table->size(); ++i)
            for (size_t j = i + 1; j < table->size(); ++j)
                EXPECT_FALSE(QLatin1String((*table)[j].name).startsWith(QLatin1String((*table)[i].name)))
                    << (*table)[i].name << " comes before " << (*table)[j].name;
}

TEST(StyleSheet, GreyIsUsedAsWrittenDarkAndSlateReplaceTheirOwnTokensOtherThemesHaveNone) {
    const QString text =
        "x{a:qirodark_charcoalGreyColor;b:qiroslate_yellowTextColor;c:qirodark_defaultTextColor}";
    SheetFolder folder(text);
    EXPECT_EQ(buildStyleSheet(kThemeGrey, folder.path()), text);
    EXPECT_EQ(buildStyleSheet(kThemeDark, folder.path()),
              "x{a:rgb(27,32,36);b:qiroslate_yellowTextColor;c:rgb(135,150,166)}");
    EXPECT_EQ(buildStyleSheet(kThemeSlate, folder.path()),
              "x{a:rgb(27,32,36);b:rgb(221,186,7);c:qirodark_defaultTextColor}")
        << "the slate table has no dark text colours";
    EXPECT_EQ(buildStyleSheet(0, folder.path()), "");
    EXPECT_EQ(buildStyleSheet(4, folder.path()), "");

    folder.remove("grey.css");
    folder.remove("dark.css");
    folder.remove("slate.css");
    for (int theme : {kThemeGrey, kThemeDark, kThemeSlate})
        EXPECT_EQ(buildStyleSheet(theme, folder.path()), "") << "theme " << theme;
}

TEST(StyleSheet, ShippedSheetsNameThemselvesLeaveNoTokenAndFindEveryImage) {
    const QRegularExpression token("qiro(dark|slate)_\\w+");
    const QRegularExpression url("url\\(([^)]+)\\)");
    for (const auto &[theme, name] :
         {std::pair{kThemeGrey, "grey"}, {kThemeDark, "dark"}, {kThemeSlate, "slate"}}) {
        const QString sheet = buildStyleSheet(theme);
        SCOPED_TRACE(name);
        EXPECT_TRUE(sheet.startsWith(
            QStringLiteral("/*\nNAME=%1\n**DON'T CHANGE TEXT ABOVE THIS POINT**").arg(name)));
        const QRegularExpressionMatch left = token.match(sheet);
        EXPECT_FALSE(left.hasMatch()) << left.captured().toStdString();
        EXPECT_TRUE(sheet.contains(theme == kThemeGrey ? "font-size: 12px" : "font: 11px Verdana"));
        for (const char *selector :
             {"QiroComboBox[cloaked=\"true\"] {", "QiroComboBox[cloaked=\"true\"]:hover {",
              "QiroComboBox[cloaked=\"true\"]::drop-down {"})
            EXPECT_TRUE(sheet.contains(QLatin1String(selector))) << selector;
        for (auto it = url.globalMatch(sheet); it.hasNext();) {
            const QString image = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(image)) << image.toStdString();
        }
    }
}
