#pragma once

// Whether a batch fits on the destination's disk, checked before anything starts: each clip's files are
// estimated from its frame count, picture size (by compression quality), sound channels and data items, plus
// the MXF file's own structures (per frame: system item, element keys and lengths, index entry; per file:
// partitions, header metadata, index tables) and the files beside it (report, SHA-256, framemd5). The
// estimate errs a little on the large side.
//
// Threads: the GUI or main thread.

#include "recorder/SRFileInfo.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Bytes a transfer of the clip leaves on disk, at most a little more; 0 for a clip that cannot be
// transferred (see clipProblem).
uint64_t estimatedTransferBytes(const SRFileInfo &clip);

// Bytes this user may still write at the folder, or at its nearest existing parent while it does not exist;
// nothing when that cannot be known.
std::optional<uint64_t> freeSpaceAt(const QString &folder);

// What spaceProblem asks for the free bytes at a folder: freeSpaceAt unless replaced (tests hand in a
// figure). An empty function puts freeSpaceAt back.
using FreeSpaceProbe = std::function<std::optional<uint64_t>(const QString &folder)>;
void setFreeSpaceProbe(FreeSpaceProbe probe);

// A size for people, in decimal units with one decimal ("3.2 GB"); rounded up, or down with roundDown.
QString readableBytes(uint64_t bytes, bool roundDown = false);

// Why the clips' files do not fit at the destination: "not enough disk space: the transfer needs 3.2 GB,
// 1.1 GB free at /path". Nothing when they fit or the free space is not known.
std::optional<QString> spaceProblem(const std::vector<SRFileInfo> &clips, const QString &destination);

// The clips one destination of several is to take.
struct DestinationLoad {
    QString destination;
    std::vector<SRFileInfo> clips;
};
// The same for copies to several destinations: those on one file system (one mount) add up, so two copies
// there need twice the room. The first problem found; nothing when every file system has room or its free
// space is not known.
std::optional<QString> spaceProblem(const std::vector<DestinationLoad> &loads);
