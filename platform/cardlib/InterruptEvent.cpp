#include "platform/cardlib/InterruptEvent.h"

namespace cardlib {

void InterruptEvent::raise() {
    {
        std::lock_guard guard(lock);
        pending = true;
    }
    raised.notify_all();
}

bool InterruptEvent::wait(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock);
    if (!raised.wait_for(guard, timeout, [this] { return pending; }))
        return false;
    pending = false;
    return true;
}

} // namespace cardlib
