#pragma once

// Names made safe (see mxf/OutputPath.h) can meet: "a/b" and "a_b" both become "a_b", and a naming template
// may give two clips one name ("{reel}" alone). Two clips of one batch whose files would land on one path
// are refused before anything starts, so that neither front end writes one clip's file over the other's.

#include "mxf/OutputPath.h"
#include "recorder/SRFileInfo.h"

#include <QString>
#include <optional>
#include <vector>

// Why the clips cannot be transferred together, outputs[k] being where clips[k] is written: the first two
// that share an output path, both named with their folders, and the path. Nothing when every clip has a
// path of its own.
std::optional<QString> outputCollision(const std::vector<SRFileInfo> &clips,
                                       const std::vector<OutputPath> &outputs);

// The clip as the recorder names it, folder and file, in quotes, bytes that are not printable ASCII shown as
// \xNN: for messages.
QString quotedClipName(const SRFileInfo &clip);
