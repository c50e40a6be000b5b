#include "resources/draw/Drawing.h"

#include "ui/ColourTokens.h"

#include <cstring>
#include <stdexcept>

namespace drawing {

std::optional<QImage> drawImage(const QString &name) {
    if (auto image = drawWidgetImage(name))
        return image;
    return drawEmblemImage(name);
}

QColor tokenColour(const char *token) {
    for (const auto *table : {&qiro::darkColourTokens(), &qiro::slateColourTokens()})
        for (const qiro::ColourToken &entry : *table)
            if (std::strcmp(entry.name, token) == 0)
                return entry.colour;
    throw std::invalid_argument(std::string("unknown colour token ") + token);
}

QImage emptyImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void addPolyline(QPainterPath &path, std::initializer_list<QPointF> points) {
    auto point = points.begin();
    path.moveTo(*point);
    for (++point; point != points.end(); ++point)
        path.lineTo(*point);
}

} // namespace drawing
