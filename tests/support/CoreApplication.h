#pragma once

// The test program's QCoreApplication, made on the first call and kept for the program's life: the preview
// decoder library is looked for beside the application, which needs one to exist.

#include <QCoreApplication>

namespace testsupport {

inline void ensureCoreApplication() {
    static int argc = 1;
    static char name[] = "vantrel_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

} // namespace testsupport
