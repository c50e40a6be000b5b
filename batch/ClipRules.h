#pragma once

// The checks both front ends make before a transfer starts, and their reasons in plain words.

#include "recorder/SRFileInfo.h"

#include <QString>
#include <QStringList>
#include <optional>

// A clip the clip table lists, and so one that may be transferred: interlaced or PsF, not 3D, marked valid.
bool isListed(const SRFileInfo &clip);

// Why the clip cannot be transferred: not listed (progressive, 3D or not valid), no frames, an unknown
// compression quality or more sound channels than a payload block carries. Nothing when it can.
std::optional<QString> clipProblem(const SRFileInfo &clip);

// Why no file can be written below the folder: empty, missing, not a folder or not writable. Nothing when
// files can be written there.
std::optional<QString> destinationProblem(const QString &folder);

// Why a clip cannot be copied to all of these folders at once: too many (more than `most`), one of them not
// writable (see destinationProblem), or two the same folder (by any spelling or link) or one inside another,
// where one copy would land among the other's files. Nothing when they can be written side by side.
std::optional<QString> destinationsProblem(const QStringList &folders, qsizetype most);
