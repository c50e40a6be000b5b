#pragma once

// Clips the recorder cannot tell apart: it selects the clip to play by its file name alone (as the select
// command carries it: up to the first NUL, at most 64 bytes), so of two clips of one name it may play either.
// Transferring them stays allowed; the writer fails a play-out whose first time code is not the clip's.

#include "recorder/SRFileInfo.h"

#include <vector>

// What a clip sharing its name is marked with.
inline constexpr char kSharedNameNote[] = "same name as another clip: the recorder may play the other one";

// For each clip of `clips`, whether another clip of them has the same name as the recorder selects it by.
std::vector<bool> sharesFileName(const std::vector<SRFileInfo> &clips);
