#pragma once

// Waiting for a state another thread reaches, without sleeping: the condition is looked at again whenever
// the waiting thread gets to run, until it holds or the time limit passes.

#include <chrono>
#include <thread>

namespace testsupport {

template <typename Condition>
bool eventually(Condition condition, std::chrono::steady_clock::duration limit = std::chrono::seconds(120)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace testsupport
