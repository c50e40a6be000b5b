#pragma once

// The built-in demo media of the simulated recorder: five clips of 5 to 20 seconds in different formats
// and frame rates, with 2 to 8 sound channels, one in drop frame and one progressive clip that the
// window does not list. Their essence is generated during the play-out.

#include "platform/srmodule/ClipManifest.h"

ClipManifest demoManifest();
