// The emblem (a picture frame carrying lines of payload, with an arrow down to the disk), the two logos,
// the wordmark, the splash image that shows them on the dark background, and the desktop's application icon.

#include "resources/draw/Drawing.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <cstring>

namespace drawing {

namespace {

constexpr int kLogoSize = 64;
constexpr int kSplashWidth = 960;
constexpr int kSplashHeight = 540;
// The icon theme's sizes are at most 512 pixels square.
constexpr int kLargestIconSize = 512;

struct EmblemColours {
    QColor frameTop;
    QColor frameBottom;
    QColor lines[3];
    QColor arrow;
};

// The emblem in a box of side `size` whose top left is at origin; drawn in units of a 100-unit box.
void drawEmblem(QPainter &painter, QPointF origin, qreal size, const EmblemColours &colours) {
    painter.save();
    painter.translate(origin);
    painter.scale(size / 100.0, size / 100.0);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient frame(0, 10, 0, 68);
    frame.setColorAt(0, colours.frameTop);
    frame.setColorAt(1, colours.frameBottom);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(frame), 5.0));
    painter.drawRoundedRect(QRectF(10, 10, 80, 58), 9, 9);

    const qreal lineEnds[3] = {76, 62, 70};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(colours.lines[i], 5.5, Qt::SolidLine, Qt::RoundCap));
        const qreal y = 26 + 13 * i;
        painter.drawLine(QPointF(24, y), QPointF(lineEnds[i], y));
    }

    painter.setPen(QPen(colours.arrow, 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF{{36, 78}, {50, 90}, {64, 78}});
    painter.restore();
}

// Strokes of the wordmark's letters in a cell of width kLetterWidth and height 1, y downwards.
constexpr qreal kLetterWidth = 0.72;
constexpr qreal kLetterGap = 0.34;

QPainterPath letter(char c) {
    const qreal w = kLetterWidth;
    QPainterPath path;
    auto polyline = [&path](std::initializer_list<QPointF> points) { addPolyline(path, points); };
    switch (c) {
    case 'V':
        polyline({{0, 0}, {w / 2, 1}, {w, 0}});
        break;
    case 'A':
        polyline({{0, 1}, {w / 2, 0}, {w, 1}});
        polyline({{w * 0.22, 0.66}, {w * 0.78, 0.66}});
        break;
    case 'N':
        polyline({{0, 1}, {0, 0}, {w, 1}, {w, 0}});
        break;
    case 'T':
        polyline({{0, 0}, {w, 0}});
        polyline({{w / 2, 0}, {w / 2, 1}});
        break;
    case 'R':
        path.moveTo(0, 1);
        path.lineTo(0, 0);
        path.lineTo(w * 0.58, 0);
        path.cubicTo(w * 1.04, 0, w * 1.04, 0.52, w * 0.58, 0.52);
        path.lineTo(0, 0.52);
        polyline({{w * 0.5, 0.52}, {w, 1}});
        break;
    case 'E':
        polyline({{w, 0}, {0, 0}, {0, 1}, {w, 1}});
        polyline({{0, 0.5}, {w * 0.8, 0.5}});
        break;
    case 'L':
        polyline({{0, 0}, {0, 1}, {w, 1}});
        break;
    default:
        break;
    }
    return path;
}

// The word in stroked capitals of the given height, centred on centre.
void drawWordmark(QPainter &painter, const char *word, QPointF centre, qreal height, const QColor &colour) {
    const qreal letters = qreal(std::strlen(word));
    const qreal width = (letters * kLetterWidth + (letters - 1) * kLetterGap) * height;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(centre.x() - width / 2, centre.y() - height / 2);
    painter.scale(height, height);
    constexpr qreal stroke = 0.13;
    QPen pen(colour, stroke, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(4.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    // Pointed joins are cut flat at the cap and base lines.
    const QRectF band(-stroke, -stroke / 2, kLetterWidth + 2 * stroke, 1 + stroke);
    for (const char *c = word; *c != '\0'; ++c) {
        painter.setClipRect(band);
        painter.drawPath(letter(*c));
        painter.translate(kLetterWidth + kLetterGap, 0);
    }
    painter.restore();
}

EmblemColours brightEmblem() {
    const QColor bright = tokenColour("qirodark_defaultTextColorBright");
    QColor faint = bright;
    faint.setAlpha(150);
    return {tokenColour("qirodark_selectionGradientStop0"),
            tokenColour("qirodark_selectionGradientStop1_0"),
            {bright, tokenColour("qirodark_defaultTextColor"), faint},
            tokenColour("qirodark_selectionGradientStop0")};
}

EmblemColours darkEmblem() {
    const QColor ink = tokenColour("qirodark_charcoalGreyColor");
    return {tokenColour("qirodark_selectionGradientStop1_0"),
            tokenColour("qirodark_menuItemSelectedBottomBorder"),
            {ink, tokenColour("qirodark_mediumGreyColor"), tokenColour("qirodark_buttonRightBorder")},
            tokenColour("qirodark_selectionGradientStop1_0")};
}

QImage logo(const EmblemColours &colours) {
    QImage image = emptyImage(kLogoSize, kLogoSize);
    QPainter painter(&image);
    drawEmblem(painter, QPointF(0, 0), kLogoSize, colours);
    return image;
}

// The application icon of the desktop's menus: the bright emblem on a rounded tile of the splash image's
// background, so that it shows on light and dark panels alike. Small sizes keep a larger share of the tile
// for the emblem, whose strokes would otherwise blur away.
QImage applicationIcon(int size) {
    QImage image = emptyImage(size, size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size * (size < 32 ? 0.0 : 0.04);
    const QRectF tile(margin, margin, size - 2 * margin, size - 2 * margin);
    QLinearGradient background(0, tile.top(), 0, tile.bottom());
    background.setColorAt(0, tokenColour("qirodark_greyBackgroundGradientStop0"));
    background.setColorAt(1, tokenColour("qirodark_charcoalGreyColor"));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(tile, tile.width() * 0.18, tile.height() * 0.18);
    const qreal inset = tile.width() * (size < 32 ? 0.0 : 0.06);
    drawEmblem(painter, tile.topLeft() + QPointF(inset, inset), tile.width() - 2 * inset, brightEmblem());
    return image;
}

QImage splash() {
    QImage image(kSplashWidth, kSplashHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    const QRectF all(0, 0, kSplashWidth, kSplashHeight);

    QLinearGradient background(0, 0, 0, kSplashHeight);
    background.setColorAt(0, tokenColour("qirodark_greyBackgroundGradientStop0"));
    background.setColorAt(1, tokenColour("qirodark_charcoalGreyColor"));
    painter.fillRect(all, background);

    QColor glow = tokenColour("qirodark_selectionGradientStop1_0");
    glow.setAlpha(60);
    QRadialGradient halo(QPointF(kSplashWidth / 2.0, kSplashHeight * 0.42), kSplashHeight * 0.6);
    halo.setColorAt(0, glow);
    glow.setAlpha(0);
    halo.setColorAt(1, glow);
    painter.fillRect(all, halo);

    // Faint scan lines, as on a monitor.
    painter.setPen(QColor(0, 0, 0, 22));
    for (int y = 0; y < kSplashHeight; y += 4)
        painter.drawLine(0, y, kSplashWidth, y);

    const qreal emblemSize = 170;
    drawEmblem(painter, QPointF((kSplashWidth - emblemSize) / 2, 92), emblemSize, brightEmblem());
    drawWordmark(painter, "VANTREL", QPointF(kSplashWidth / 2.0, 340), 44,
                 tokenColour("qirodark_defaultTextColorBright"));

    QColor rule = tokenColour("qirodark_selectionGradientStop0");
    rule.setAlpha(170);
    painter.setPen(QPen(rule, 2));
    painter.drawLine(QPointF(kSplashWidth / 2.0 - 110, 392), QPointF(kSplashWidth / 2.0 + 110, 392));

    painter.setPen(tokenColour("qirodark_mediumGreyColor"));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
    return image;
}

} // namespace

std::optional<QImage> drawEmblemImage(const QString &name) {
    if (name == QLatin1String("qiroapp/media/qirologo.png"))
        return logo(darkEmblem());
    if (name == QLatin1String("qiroapp/media/qirologo_for_on_black.png"))
        return logo(brightEmblem());
    if (name == QLatin1String("resources/splash.png"))
        return splash();
    static const QRegularExpression icon(QStringLiteral("^icons/hicolor/(\\d{1,3})x\\1/apps/vantrel\\.png$"));
    if (const QRegularExpressionMatch match = icon.match(name); match.hasMatch()) {
        const int size = match.captured(1).toInt();
        if (size > 0 && size <= kLargestIconSize)
            return applicationIcon(size);
    }
    return std::nullopt;
}

} // namespace drawing
