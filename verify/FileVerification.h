#pragma once

// The re-read of a finished MXF file against the checksums of what was handed to the library: the file must
// be marked closed and complete, hold exactly as many edit units as frames were written, and every edit
// unit's picture, sound channels and data element must have the frame's checksums.

#include "verify/FrameChecksums.h"

#include <QString>
#include <optional>
#include <stop_token>
#include <vector>

// Nothing when the file verifies; otherwise the first difference found (or why the file cannot be read),
// in words for the user. A stop requested through `stop` ends the re-read at the next frame, with a reason
// that says so.
std::optional<QString> verifyFile(const QString &path, const std::vector<FrameChecksum> &expected,
                                  std::stop_token stop = {});
