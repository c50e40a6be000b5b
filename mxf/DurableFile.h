#pragma once

// Putting a finished file in place so that a crash, a kill or a power cut never leaves a partial file under
// its final name: the file is written under an in-progress name, synced to disk, then renamed over its final
// name in one step, and the folder is synced so that the rename itself is on disk.

#include <QString>
#include <QStringList>
#include <optional>

// Flushes the file's bytes to the disk (fsync). False when the file cannot be opened or synced.
bool syncFile(const QString &path);
// Flushes the folder's entries (created, renamed, removed files) to the disk.
bool syncFolder(const QString &folder);
// Renames `from` to `to` in one step, replacing a file already there, then syncs the folder of `to`. Both
// must be in the same folder. Nothing on success, else why it failed.
std::optional<QString> commitFile(const QString &from, const QString &to);
// The in-progress files (see OutputPath::partFile) in the folders directly below `destination`, sorted.
QStringList inProgressFiles(const QString &destination);
