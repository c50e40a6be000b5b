// vantrel: the window. Shows the recorder's clips, transfers the ticked ones into MXF files and previews
// them while they are written. The simulated recorder takes its media and pace from VANTREL_SIM_MEDIA and
// VANTREL_SIM_SPEED.

#include "app/Vantrel.h"
#include "platform/cardlib/VirtualBoards.h"
#include "ui/QiroApplication.h"
#include "ui/StyleSheet.h"

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: vantrel [--help | --version] [QT_OPTION...]\n"
    "\n"
    "Shows the recorder's clips in a window and transfers the ticked ones into MXF files, one after\n"
    "another, below the chosen folder, previewing them while they are written.\n"
    "\n"
    "Options:\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "  QT_OPTION        Qt's own options, such as -platform NAME or -display DISPLAY\n"
    "\n"
    "Exit status: 0 when the window is closed, 2 when the simulated recorder's media cannot be used.\n";

} // namespace

int main(int argc, char *argv[]) {
    // Answered before the application object exists, so that they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vantrel %s\n", PROJECT_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
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
