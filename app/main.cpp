// vantrel: the window. Shows the recorder's clips, transfers the ticked ones into MXF files and previews
// them while they are written. The simulated recorder takes its media and pace from VANTREL_SIM_MEDIA and
// VANTREL_SIM_SPEED.

#include "app/Vantrel.h"
#include "platform/cardlib/VirtualBoards.h"
#include "ui/QiroApplication.h"
#include "ui/StyleSheet.h"

#include <cstdio>

int main(int argc, char *argv[]) {
    QiroApplication application(argc, argv, qiro::kThemeDark);
    // Builds the boards now, so that media that cannot be used is named before the window opens.
    cardlib::installedBoards();
    if (const QString error = cardlib::mediaError(); !error.isEmpty()) {
        std::fprintf(stderr, "vantrel: %s\n", error.toUtf8().constData());
        return 2;
    }
    Vantrel window;
    window.setWindowTitle("QIRO Vantrel");
    window.show();
    return application.exec();
}
