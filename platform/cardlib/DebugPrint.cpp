#include "card/CWyrnCard.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

bool debugPrintEnabled() {
    static const bool enabled = [] {
        const char *value = std::getenv("VANTREL_DEBUG");
        return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    }();
    return enabled;
}

std::mutex &printLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

void odprintf(const char *format, ...) {
    if (!debugPrintEnabled())
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard guard(printLock());
    std::fprintf(stderr, "%s\n", line);
}
