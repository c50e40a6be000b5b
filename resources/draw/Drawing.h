#pragma once

// The images of the resource collection, drawn with QPainter so that they follow the theme colours. Each is
// drawn by name, the path it has in the collection ("qiroapp/media/arrow_down.png"). Needs no application
// object: nothing here draws text.

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <initializer_list>
#include <optional>

namespace drawing {

// The image of that name, or nothing for a name the drawer does not know.
std::optional<QImage> drawImage(const QString &name);

// The colour of a dark or slate theme token; the drawer fails to build an image with an unknown token.
QColor tokenColour(const char *token);
// A transparent image of the given size, ready to paint on.
QImage emptyImage(int width, int height);
// Adds to path an open line through the points, in order.
void addPolyline(QPainterPath &path, std::initializer_list<QPointF> points);

// Widget images: check boxes, arrows and menu check marks.
std::optional<QImage> drawWidgetImage(const QString &name);
// The emblem, the logos, the splash image and the application icon of the desktop's menus,
// "icons/hicolor/<N>x<N>/apps/vantrel.png" for a size N from 1 to 512.
std::optional<QImage> drawEmblemImage(const QString &name);

} // namespace drawing
