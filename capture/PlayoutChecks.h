#pragma once

// What the writer checks of a play-out before it trusts it: that the recorder plays the clip that was asked
// for (it selects by name alone, and a garbled select can leave another clip cued), and the words for a
// picture or sound that arrived damaged.

#include "capture/FrameAssembler.h"
#include "recorder/SRFileInfo.h"

#include <QString>
#include <cstdint>
#include <optional>

// Nothing when firstTimeCode (a lead-in time code: HH MM SS FF, two BCD digits each) is the clip's start
// time code; otherwise why the play-out is another clip's: "the recorder played another clip: its first
// frame is 01:00:00:00, SHOT02 starts at 02:00:00:00".
std::optional<QString> otherClipPlayed(const SRFileInfo &clip, uint32_t firstTimeCode);

// "picture of frame 5 (01:00:00:05) has 936500 bytes, 937500 expected".
QString wrongPictureText(const SRFileInfo &clip, const WrongPicture &picture, uint32_t frameBytes);
