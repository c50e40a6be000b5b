#pragma once

// The application style sheet of a theme. The grey sheet is used as written; the dark and slate sheets have
// their colour tokens replaced by colour texts, table by table in table order (ColourTokens.h), so the
// longer of two tokens that begin alike is replaced first. A theme without a sheet, or a sheet that cannot
// be read, gives the empty sheet: the program then runs with the plain style. Nothing is reported.

#include "ui/ColourTokens.h"

#include <QColor>
#include <QString>
#include <vector>

namespace qiro {

// Theme numbers; any other number means no style sheet.
enum Theme : int { kThemeGrey = 1, kThemeDark = 2, kThemeSlate = 3 };

// The resource folder of the three theme sheets grey.css, dark.css and slate.css.
inline constexpr char kStyleSheetFolder[] = ":/qiroapp/styles";

// "rgb(r,g,b)" for an opaque colour, else "rgba(r,g,b,a)"; every value a decimal integer 0..255.
QString colourText(const QColor &colour);

// The sheet with every occurrence of each token (case-sensitive) replaced by its colour text, in table order.
QString replaceColourTokens(QString sheet, const std::vector<ColourToken> &tokens);

// The final sheet of the theme, read from folder.
QString buildStyleSheet(int theme, const QString &folder = QString::fromLatin1(kStyleSheetFolder));

} // namespace qiro
