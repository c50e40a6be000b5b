#pragma once

// The compiled-in resource collection: the theme style sheets under ":/qiroapp/styles/", the widget images
// under ":/qiroapp/media/" (slate variants under ":/qiroapp/media/slate/", the logos qirologo.png and
// qirologo_for_on_black.png) and the splash image. Linking the `resources` library registers the collection
// at start-up: its registration objects go into every executable that links it, directly or through
// another library, so no initialisation call is needed.

#include <QImage>

namespace resources {

// The still image the preview area shows while no transfer runs.
inline constexpr char kSplashImage[] = ":/resources/splash.png";
// The menu check mark of the slate theme.
inline constexpr char kSlateCheckMark[] = ":/qiroapp/media/slate/checkmark.png";

// The splash image, decoded on the first call and shared after (the window shows it ten times a second
// while idle). GUI thread only.
QImage splashImage();

} // namespace resources
