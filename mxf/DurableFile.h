#pragma once

// Putting a finished file in place so that a crash, a kill or a power cut never leaves a partial file under
// its final name: the file is written under an in-progress name, synced to disk, then renamed over its final
// name in one step, and the folder is synced so that the rename itself is on disk.
//
// Every write, sync, rename and removal goes through DurabilityCalls, which tests replace to record the
// calls' order or to make one fail. A sync that fails keeps its errno: one that ran out of room reads
// "disk full".

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <sys/types.h>
#include <vector>

// The system calls the functions below make; each returns what the system call returns, with errno set on
// failure. `path` names the file or folder the descriptor is open on.
class DurabilityCalls {
public:
    virtual ~DurabilityCalls() = default;
    virtual ssize_t write(int descriptor, const void *bytes, size_t count, const QString &path);
    virtual int fsync(int descriptor, const QString &path);
    virtual int rename(const QString &from, const QString &to);
    virtual int remove(const QString &path);
};

// Makes `calls` the ones used from now on, process-wide (nullptr: the system's); returns the previous ones.
// Set it while no file is being put in place.
DurabilityCalls *setDurabilityCalls(DurabilityCalls *calls);

// Why syncing or writing `path` failed with errno `cause`, in words; "disk full" when out of room.
QString syncProblem(const QString &path, int cause);

// Renames `from` over `to` (one step; a file under `to` is replaced). Nothing on success, else why not.
std::optional<QString> renameOver(const QString &from, const QString &to);
// Flushes the file's bytes to the disk (fsync). Nothing on success, else why not.
std::optional<QString> syncFile(const QString &path);
// Flushes the folder's entries (created, renamed, removed files) to the disk. A file system that cannot sync
// a folder (EINVAL, as some network and FUSE mounts answer) counts as synced: see folderSyncSupported.
std::optional<QString> syncFolder(const QString &folder);
// False when the folder's file system refuses to sync folders (EINVAL): renames there may be lost by a
// power cut, which the transfer report says.
bool folderSyncSupported(const QString &folder);
// Creates `folder` and the folders above it that are missing, syncing the parent of each one created, so
// that a power cut cannot lose a folder a finished file was renamed into. Nothing on success.
std::optional<QString> makeFolders(const QString &folder);

// A new file (created or truncated) written through a checked descriptor: the first failed write is kept
// with its errno, and finish() syncs and closes the file, so a file that finish() accepted is on disk.
// Writes are buffered. Threads: one at a time.
class SyncedFileWriter {
public:
    explicit SyncedFileWriter(QString path);
    // Closes the file when finish() was not called (the file is then incomplete).
    ~SyncedFileWriter();
    SyncedFileWriter(const SyncedFileWriter &) = delete;
    SyncedFileWriter &operator=(const SyncedFileWriter &) = delete;

    void write(const QByteArray &bytes);
    // Writes what is buffered, syncs and closes the file. Nothing on success, else why the first failure
    // (open, write, sync or close) happened.
    std::optional<QString> finish();
    const QString &path() const { return target; }

private:
    void fail(const char *what);
    void flush();

    QString target;
    int descriptor = -1;
    QByteArray buffer;
    std::optional<QString> problem;
};

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
// companions, nor beside a companion left over from an older set:
// 1. a file already under the final name is removed (the new one is complete under its in-progress name),
//    and so is every name in `companionNames` (all companions a file may have, also those the new set
//    lacks); the folder is synced;
// 2. each companion is renamed over its final name, and the folder synced;
// 3. the file is renamed to its final name, the step that makes it visible.
std::vector<CommitStep> commitStepsWithCompanions(const PendingFile &file,
                                                  const std::vector<PendingFile> &companions,
                                                  const QStringList &companionNames);

struct CommitResult {
    bool committed = false; // the file is under its final name
    // Why not; or, when committed, why the folder could not be synced after the last rename (the file is
    // finished, but a power cut may still lose its name).
    std::optional<QString> problem;
};

// Runs those steps, each only while no stop is requested through `stop`, and syncs the folder after the
// last. The first step that fails, or a stop, ends it with the file not committed.
CommitResult commitWithCompanions(const PendingFile &file, const std::vector<PendingFile> &companions,
                                  const QStringList &companionNames, std::stop_token stop = {});

// The in-progress files and folders (see OutputPath::partFile; a finished file's companions too, while they
// are written; a bag while it is assembled, see delivery/BagLayout.h) in `destination` and every folder below
// it (a naming template may put files at any depth; symbolic links are not followed), sorted.
QStringList inProgressFiles(const QString &destination);
