#pragma once

// One subscriber's interrupt event: an auto-reset event that the board raises and one card object waits
// on. Thread-safe: any thread may raise it, one thread waits.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace cardlib {

class InterruptEvent {
public:
    // Marks the interrupt as come and wakes the waiter.
    void raise();
    // True when the interrupt came within timeout (or had come since the last wait); consumes it.
    bool wait(std::chrono::milliseconds timeout);

private:
    std::mutex lock;
    std::condition_variable raised;
    bool pending = false;
};

} // namespace cardlib
