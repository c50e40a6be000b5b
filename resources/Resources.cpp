#include "resources/Resources.h"

namespace resources {

QImage splashImage() {
    static const QImage image(QString::fromLatin1(kSplashImage));
    return image;
}

} // namespace resources
