#include "ui/StyleSheet.h"

#include <QFile>

namespace qiro {

namespace {

// The whole sheet, or the empty string when it cannot be opened.
QString readSheet(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

QString colourText(const QColor &colour) {
    if (colour.alpha() == 255)
        return QStringLiteral("rgb(%1,%2,%3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}

QString replaceColourTokens(QString sheet, const std::vector<ColourToken> &tokens) {
    for (const ColourToken &token : tokens)
        sheet.replace(QLatin1String(token.name), colourText(token.colour), Qt::CaseSensitive);
    return sheet;
}

QString buildStyleSheet(int theme, const QString &folder) {
    switch (theme) {
    case kThemeGrey:
        return readSheet(folder + QStringLiteral("/grey.css"));
    case kThemeDark:
        return replaceColourTokens(readSheet(folder + QStringLiteral("/dark.css")), darkColourTokens());
    case kThemeSlate:
        return replaceColourTokens(readSheet(folder + QStringLiteral("/slate.css")), slateColourTokens());
    default:
        return {};
    }
}

} // namespace qiro
