#pragma once

// The read-back of a finished MXF file: one read of it from the disk, past the page cache
// (ReadBackBuffer.h), that compares it with the checksums of what was handed to the library and takes its
// whole-file digests in the same pass. The file must be marked closed and complete, hold exactly as many
// edit units as frames were written, and every edit unit's picture, sound channels and data element must
// have the frame's checksums.

#include "verify/FrameChecksums.h"

#include <QString>
#include <optional>
#include <stop_token>
#include <vector>

struct ReadBackResult {
    // The first difference found (or why the file cannot be read), in words for the user; nothing when
    // the file verifies or no comparison was asked for.
    std::optional<QString> problem;
    // The whole file's SHA-256 and xxh128 (and MD5 when asked for); nothing when the file could not be read
    // to its end.
    std::optional<QString> sha256;
    std::optional<QString> xxh128;
    std::optional<QString> md5;
    // Whether the file was read past the page cache (O_DIRECT); false: read buffered, its pages dropped.
    bool bypassedCache = false;
};

// Reads the file at `path` once: compares it with `expected` when given, and takes its SHA-256 and xxh128,
// and its MD5 with `md5`. A stop requested through `stop` ends the read at the next frame (or window), with a
// reason that says so. `direct` false reads it buffered from the start (see ReadBackBuffer.h), as for a file
// written buffered.
ReadBackResult readBack(const QString &path, const std::vector<FrameChecksum> *expected,
                        std::stop_token stop = {}, bool direct = true, bool md5 = false);

// The comparison alone: nothing when the file verifies, else the first difference or why it cannot be read.
std::optional<QString> verifyFile(const QString &path, const std::vector<FrameChecksum> &expected,
                                  std::stop_token stop = {});
