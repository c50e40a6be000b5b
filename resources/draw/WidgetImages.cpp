// Check boxes (14 x 14), arrows (9 x 9) and menu check marks (11 x 11) in the theme colours.

#include "resources/draw/Drawing.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <map>

namespace drawing {

namespace {

constexpr int kCheckBoxSize = 14;
constexpr int kArrowSize = 9;
constexpr int kCheckMarkSize = 11;

struct BoxLook {
    QColor fillTop;
    QColor fillBottom;
    QColor border;
    std::optional<QColor> tick; // no tick: unchecked
};

// A tick through three points, with round ends.
void drawTick(QPainter &painter, const QColor &colour, qreal width, std::initializer_list<QPointF> points) {
    QPainterPath path;
    addPolyline(path, points);
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

QImage checkBox(const BoxLook &look) {
    QImage image = emptyImage(kCheckBoxSize, kCheckBoxSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, kCheckBoxSize);
    fill.setColorAt(0, look.fillTop);
    fill.setColorAt(1, look.fillBottom);
    painter.setPen(QPen(look.border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, kCheckBoxSize - 1, kCheckBoxSize - 1), 2.5, 2.5);
    if (look.tick)
        drawTick(painter, *look.tick, 1.8, {{3.5, 7.3}, {6.0, 9.8}, {10.6, 4.2}});
    return image;
}

QImage checkMark(const QColor &colour) {
    QImage image = emptyImage(kCheckMarkSize, kCheckMarkSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawTick(painter, colour, 2.0, {{1.5, 5.8}, {4.3, 8.6}, {9.5, 2.4}});
    return image;
}

// A triangle pointing down, turned by a multiple of 90 degrees clockwise.
QImage arrow(const QColor &colour, int quarterTurns = 0) {
    QImage image = emptyImage(kArrowSize, kArrowSize);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawPolygon(QPolygonF{{0.5, 2.5}, {8.5, 2.5}, {4.5, 7.0}});
    }
    return image.transformed(QTransform().rotate(90.0 * quarterTurns));
}

using Drawer = std::function<QImage()>;

const std::map<QString, Drawer> &drawers() {
    static const std::map<QString, Drawer> table = [] {
        const QColor boxTop = tokenColour("qirodark_comboBoxOpenedGradientStop0");
        const QColor boxBottom = tokenColour("qirodark_charcoalGreyColor");
        const QColor boxBorder = tokenColour("qirodark_buttonLeftBorder");
        const QColor hoverBorder = tokenColour("qirodark_selectionGradientStop0");
        const QColor checkedTop = tokenColour("qirodark_selectionGradientStop0");
        const QColor checkedBottom = tokenColour("qirodark_selectionGradientStop1_0");
        const QColor checkedBorder = tokenColour("qirodark_menuItemSelectedBottomBorder");
        const QColor bright = tokenColour("qirodark_defaultTextColorBright");
        const QColor text = tokenColour("qirodark_defaultTextColor");
        const QColor disabledTop = tokenColour("qirodark_disabledBackgroundGradientStop0");
        const QColor disabledBottom = tokenColour("qirodark_disabledBackgroundGradientStop1_0");
        const QColor disabledBorder = tokenColour("qirodark_buttonTopBorderDisabled");
        const QColor disabledText = tokenColour("qirodark_disabledTextColor");
        const QColor slateYellow = tokenColour("qiroslate_yellowTextColor");
        const QColor slateBorder = tokenColour("qiroslate_scrollBarHandleBorder");
        const QColor slateText = tokenColour("qiroslate_defaultTextColorBright");
        const QString media = QStringLiteral("qiroapp/media/");
        return std::map<QString, Drawer>{
            {media + "checkbox_unchecked.png",
             [=] {
                 return checkBox({boxTop, boxBottom, boxBorder, {}});
             }},
            {media + "checkbox_unchecked_hover.png",
             [=] {
                 return checkBox({boxTop, boxBottom, hoverBorder, {}});
             }},
            {media + "checkbox_unchecked_disabled.png",
             [=] {
                 return checkBox({disabledTop, disabledBottom, disabledBorder, {}});
             }},
            {media + "checkbox_checked.png",
             [=] {
                 return checkBox({checkedTop, checkedBottom, checkedBorder, bright});
             }},
            {media + "checkbox_checked_hover.png",
             [=] {
                 return checkBox({checkedTop, checkedBottom, bright, bright});
             }},
            {media + "checkbox_checked_disabled.png",
             [=] {
                 return checkBox({disabledTop, disabledBottom, disabledBorder, disabledText});
             }},
            {media + "arrow_down.png", [=] { return arrow(text); }},
            {media + "arrow_down_hover.png", [=] { return arrow(bright); }},
            {media + "arrow_down_disabled.png", [=] { return arrow(disabledText); }},
            {media + "arrow_left.png", [=] { return arrow(text, 1); }},
            {media + "arrow_up.png", [=] { return arrow(text, 2); }},
            {media + "arrow_right.png", [=] { return arrow(text, 3); }},
            {media + "checkmark.png", [=] { return checkMark(bright); }},
            {media + "slate/checkmark.png", [=] { return checkMark(slateYellow); }},
            {media + "slate/checkbox_unchecked.png",
             [=] {
                 return checkBox({boxTop, boxBottom, slateBorder, {}});
             }},
            {media + "slate/checkbox_checked.png",
             [=] {
                 return checkBox({boxTop, boxBottom, slateYellow, slateYellow});
             }},
            {media + "slate/arrow_down.png", [=] { return arrow(slateText); }},
        };
    }();
    return table;
}

} // namespace

std::optional<QImage> drawWidgetImage(const QString &name) {
    const auto found = drawers().find(name);
    if (found == drawers().end())
        return std::nullopt;
    return found->second();
}

} // namespace drawing
