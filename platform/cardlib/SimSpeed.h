#pragma once

// The pace of the simulated SDI input, chosen by the environment variable VANTREL_SIM_SPEED: a multiple of
// real time (the default 1 is 29.97 pictures per second) or "max": a picture whenever the card has a
// free buffer, so nothing is ever dropped for lack of room.

#include <chrono>

namespace cardlib {

inline constexpr char kSimSpeedVariable[] = "VANTREL_SIM_SPEED";

struct SimSpeed {
    bool max = false;
    double factor = 1.0; // multiple of real time when not max

    // Time between two pictures when not max.
    std::chrono::nanoseconds pictureInterval() const;
};

// Reads VANTREL_SIM_SPEED: "max" (any case), or a positive number; anything else gives real time.
SimSpeed simSpeedFromEnvironment();

} // namespace cardlib
