#pragma once

// The generation a run adds to the ASC MHL history of a destination root (see mhl/History.h): every file the
// run finished below the root (each MXF file with the digests of its one read-back, and each companion
// beside it), process "transfer", action "original", xxh128 for every file and MD5 too when asked. A run that
// finished no file adds nothing. Companions are small and were just written: they are hashed as they are on
// the disk when added.
//
// Threads: one thread at a time.

#include "mhl/Manifest.h"
#include "verify/FileDigest.h"

#include <QString>
#include <QStringList>
#include <optional>

struct HashListOptions {
    bool md5 = false;   // MD5 beside xxh128 for every file
    QString author;     // the author the generation names; empty: none
    QStringList ignore; // patterns of files the run leaves beside those listed, for verifiers to skip (a log)
};

// A generation as this tool writes it, dated now: the tool, its version and the host, `author` (empty: none;
// control characters left out),
// `process` (mhl::kTransferProcess, mhl::kInPlaceProcess), the ignore patterns of
// mhl::defaultIgnorePatterns() and `ignore`.
mhl::Generation generationOfThisTool(const QString &process, const QString &author,
                                     const QStringList &ignore = {});

class RunHistory {
public:
    RunHistory(QString root, HashListOptions options);

    // A finished file below the root, with the digests its read-back took, and those of `companions` that
    // exist. Nothing when added; otherwise why not (a file outside the root, a digest missing, a companion
    // that cannot be read).
    std::optional<QString> addFinished(const QString &file, const FileDigests &digests,
                                       const QStringList &companions);
    // Appends the run's generation when it added a file: nothing when written or when there was nothing to
    // write; otherwise why not.
    std::optional<QString> record();
    // The manifest record() wrote; empty until then, and when there was nothing to write.
    const QString &manifest() const { return written; }

private:
    std::optional<QString> add(const QString &file, const QString &xxh128, const QString &md5);

    QString root;
    HashListOptions options;
    mhl::Generation generation;
    QString written;
};
