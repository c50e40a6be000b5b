#pragma once

// Putting a finished file in place so that a crash, a kill or a power cut never leaves a partial file under
// its final name: the file is written under an in-progress name, synced to disk, then renamed over its final
// name in one step, and the folder is synced so that the rename itself is on disk.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// Flushes the file's bytes to the disk (fsync). False when the file cannot be opened or synced.
bool syncFile(const QString &path);
// Flushes the folder's entries (created, renamed, removed files) to the disk.
bool syncFolder(const QString &folder);
// Renames `from` to `to` in one step, replacing a file already there, then syncs the folder of `to`. Both
// must be in the same folder. Nothing on success, else why it failed.
std::optional<QString> commitFile(const QString &from, const QString &to);

// A file written, complete and synced, under its in-progress name, and the name it is to have.
struct PendingFile {
    QString inProgress;
    QString final;
};

// One step of putting files in place: nothing when it succeeded, else why not.
using CommitStep = std::function<std::optional<QString>()>;

// The steps, in order, that put a finished file and its companions (the files that describe it, such as its
// report and checksum) under their final names, all in one folder. A crash between any two steps leaves
// either the old set or no file under the file's final name, never a file beside another file's
// companions:
// 1. a file already under the final name is removed (the new one is complete under its in-progress name);
// 2. each companion is renamed over its final name;
// 3. the file is renamed to its final name, the step that makes it visible.
// The folder is synced after each, so that the disk sees them in this order.
std::vector<CommitStep> commitStepsWithCompanions(const PendingFile &file,
                                                  const std::vector<PendingFile> &companions);
// Runs those steps; nothing on success, else why the first that failed did.
std::optional<QString> commitWithCompanions(const PendingFile &file,
                                            const std::vector<PendingFile> &companions);

// The in-progress files (see OutputPath::partFile; a finished file's companions too, while they are written)
// in the folders directly below `destination`, sorted.
QStringList inProgressFiles(const QString &destination);
