#pragma once

// The application style: Fusion with the touches of the theme (StyleSheet.h gives the theme numbers).
// Under every theme no focus rectangle is drawn, disabled text is not etched and combo boxes open as pop-up
// menus. Under the slate theme a menu check mark is the slate check-mark image, drawn at its natural size
// 5 pixels right of and 2 pixels below the top left of the mark's rectangle. Under the dark and slate
// themes an MDI area is painted with the dark window background. Everything else is Fusion's.
//
// Threads: GUI thread only, as every style.

#include <QPixmap>
#include <QProxyStyle>
#include <QString>

class QiroStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit QiroStyle(int theme);

    int theme() const { return themeNumber; }
    // The theme's application style sheet; empty for a theme without one (StyleSheet.h).
    QString styleSheet() const;

    using QProxyStyle::polish;
    void polish(QWidget *widget) override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;

private:
    const int themeNumber;
    QPixmap slateCheckMark; // loaded under the slate theme only
};
