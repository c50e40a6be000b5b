// vantrel-draw-resources OUTPUT_FOLDER NAME...: draws each named image of the resource collection into
// OUTPUT_FOLDER/NAME. Fails, naming the image, on a name it does not know or an image it cannot write.

#include "resources/draw/Drawing.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER NAME...\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    try {
        for (int i = 2; i < argc; ++i) {
            const QString name = QString::fromLocal8Bit(argv[i]);
            const std::optional<QImage> image = drawing::drawImage(name);
            if (!image) {
                std::fprintf(stderr, "no drawing for %s\n", argv[i]);
                return 1;
            }
            const QString path = output.filePath(name);
            if (!QDir().mkpath(QFileInfo(path).path()) || !image->save(path, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
