#pragma once

// How often a clip that drops frames is started again from its beginning before it is given up.

#include <cstdint>

class RestartBudget {
public:
    static constexpr int kDefaultRestarts = 3;

    explicit RestartBudget(int restarts = kDefaultRestarts) : allowed(restarts < 0 ? 0 : restarts) {}

    // A drop: true (and one restart spent) while restarts remain, false once the clip is to be given up.
    bool takeRestart() {
        if (used >= allowed)
            return false;
        ++used;
        return true;
    }
    int restartsUsed() const { return used; }
    int restartsAllowed() const { return allowed; }

private:
    int allowed;
    int used = 0;
};
