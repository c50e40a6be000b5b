#pragma once

// A QiroApplication of one theme for the life of the object, for tests that need widgets or the style.
// One at a time in a process.

#include "ui/QiroApplication.h"

namespace testsupport {

class ThemedApplication {
public:
    explicit ThemedApplication(int theme) : application(argc, argv, theme) {}

    QiroApplication &operator*() { return application; }
    QiroApplication *operator->() { return &application; }

private:
    static inline char name[] = "ui_tests";
    static inline char *argv[] = {name, nullptr};
    static inline int argc = 1;
    QiroApplication application;
};

} // namespace testsupport
