#pragma once

// The program's application object. Construction installs, in this order, a QiroStyle of the theme as the
// application style, that style's standard palette as the application palette and the theme's style sheet
// (empty for a theme without one) as the application style sheet. The sheet is never reloaded.
//
// Threads: GUI thread only.

#include "ui/QiroStyle.h"

#include <QApplication>

class QiroApplication : public QApplication {
    Q_OBJECT

public:
    // theme: a theme number of StyleSheet.h; any other number gives no style sheet.
    QiroApplication(int &argc, char **argv, int theme);

    // The installed style, owned by the application. While a style sheet is set, QApplication::style()
    // answers the style-sheet style that wraps it.
    QiroStyle *qiroStyle() const { return installedStyle; }

private:
    QiroStyle *installedStyle;
};
