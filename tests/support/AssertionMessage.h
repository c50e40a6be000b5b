#pragma once

// The message of the util::assertion_failure an action throws, for checking which check failed.

#include "mxf/Assertion.h"

#include <functional>
#include <string>

namespace testsupport {

// Runs `action`; returns the what() of the assertion_failure it throws, or "no failure" when it throws none.
inline std::string assertionMessage(const std::function<void()> &action) {
    try {
        action();
    } catch (const util::assertion_failure &failure) {
        return failure.what();
    }
    return "no failure";
}

} // namespace testsupport
