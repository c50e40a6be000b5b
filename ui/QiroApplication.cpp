#include "ui/QiroApplication.h"

QiroApplication::QiroApplication(int &argc, char **argv, int theme)
    : QApplication(argc, argv), installedStyle(new QiroStyle(theme)) {
    // setStyle makes the application the style's parent, which deletes it.
    setStyle(installedStyle);
    setPalette(installedStyle->standardPalette());
    setStyleSheet(installedStyle->styleSheet());
}
