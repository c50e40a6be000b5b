#pragma once

// The transfer report, NAME.json beside each finished file: what was transferred (the clip's whole
// information record), where, when, how fast, every dropped picture and restart, every time code break,
// the per-frame checksums, the verification verdict, the whole-file SHA-256, the frames whose sound arrived
// short (damagedFrames), the sound check (sound: levels, clipping and silence per channel), warnings, the
// operator's metadata, the other copies written from the same play-out (otherCopies), and the events of the
// file's making (PreservationEvents.h). It is written as a stream (the checksums are never copied nor held as
// a JSON tree), synced to disk under an in-progress name and put in place with its file (see DurableFile.h),
// and it is what `verify` checks a file against years later.

#include "recorder/SRFileInfo.h"
#include "verify/DamagedFrames.h"
#include "verify/DroppedPicture.h"
#include "verify/FrameChecksums.h"
#include "verify/MetadataPairs.h"
#include "verify/PreservationEvents.h"
#include "verify/SoundLevels.h"
#include "verify/TimecodeBreaks.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <vector>

// How the file went to the disk and came back: "io" is "direct" (past the page cache, O_DIRECT) or
// "buffered" (the file system refused direct I/O, or refused a direct write: `fallback` says why), and
// "readBack" the same for the read that verified the file and took its SHA-256.
struct TransferIo {
    bool directWrites = false;
    bool directReadBack = false;
    QString fallback;
};

// Another copy of the same file, written from the same play-out to another destination, and how its checks
// ended.
struct OtherCopy {
    QString file;
    bool finished = false;
    QString problem; // why it failed
};

struct TransferReport {
    QString toolVersion;
    SRFileInfo clip;
    QString file; // the finished file's path
    QDateTime started, ended;
    QString startTimecode, endTimecode;
    std::vector<DroppedPicture> drops;
    int restarts = 0;
    uint64_t fileSize = 0;
    std::span<const FrameChecksum> checksums; // not owned: held by the caller while the report is written
    bool verified = false;                    // false: the re-read was switched off
    std::vector<TimecodeBreak> breaks;
    QString sha256;
    QStringList warnings; // what the user should know of a finished file, such as a folder sync refused
    std::vector<DamagedFrame> damagedFrames;
    TransferIo io;
    // The failed conformance checks, one line each: none, the file passed; nothing, it was not checked.
    std::optional<QStringList> conformance;
    std::vector<PreservationEvent> events;
    std::vector<ChannelLevels> sound; // the sound check, by channel
    MetadataPairs metadata;           // also written into the file as user comments
    std::vector<OtherCopy> otherCopies;
};

// Writes the report as JSON to `path` (created or replaced) and syncs it to disk. Nothing on success, else
// why not.
std::optional<QString> writeReport(const QString &path, const TransferReport &report);

// Re-reads the finished file at `mxfPath` and checks it against its report (the report path beside it:
// NAME.json): the SHA-256, the frame count and every frame's checksums; then its SHA-256 file (name and
// digest) and, when there is one, its framemd5 list (see Sidecars.h). Nothing when the file passes;
// otherwise which one disagrees and why. A missing, unreadable or incomplete report is a failure.
std::optional<QString> auditFile(const QString &mxfPath);

// Whether a finished file is the one its report and SHA-256 file describe, judged without reading the file
// through (a file under its final name was synced before it was renamed): the report names the file and
// gives its size, and the SHA-256 file names it with the report's digest. Nothing when they agree; else why
// not. A missing file or report is a disagreement.
std::optional<QString> finishedFileDisagreement(const QString &mxfPath);
