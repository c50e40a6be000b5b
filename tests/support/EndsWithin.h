#pragma once

// Running a step that could hang, such as a loop that never ends or a thread that never stops, so that a
// hang fails at once instead of at the test runner's time-out.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace testsupport {

// Runs step on a thread of its own and waits at most limit for it. A step still running then can neither
// be joined nor left behind safely, so the failure is reported and the test program ends at once.
template <typename Step> void endsWithin(std::chrono::steady_clock::duration limit, Step step) {
    std::packaged_task<void()> task(std::move(step));
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(limit) == std::future_status::timeout) {
        ADD_FAILURE() << "a step that must end did not end within "
                      << std::chrono::duration_cast<std::chrono::seconds>(limit).count() << " s";
        std::fflush(stdout);
        std::_Exit(EXIT_FAILURE);
    }
    runner.join();
    done.get();
}

} // namespace testsupport
