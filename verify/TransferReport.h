#pragma once

// The transfer report, NAME.json beside each finished file: what was transferred (the clip's whole
// information record), where, when, how fast, every dropped picture and restart, every time code break,
// the per-frame checksums, the verification verdict and the whole-file SHA-256. It is written atomically
// (a complete new report or the old one, never a partial one), and it is what `verify` checks a file
// against years later.

#include "recorder/SRFileInfo.h"
#include "verify/FrameChecksums.h"
#include "verify/TimecodeBreaks.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A picture the card dropped: the transfer restarted from the clip's beginning.
struct DroppedPicture {
    uint64_t frame = 0; // frames written before the drop
    QString timeCode;   // lead-in time code of the last frame written before it (empty before the first)
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
    std::vector<FrameChecksum> checksums;
    bool verified = false; // false: the re-read was switched off
    std::vector<TimecodeBreak> breaks;
    QString sha256;
    // The failed conformance checks, one line each: none, the file passed; nothing, it was not checked.
    std::optional<QStringList> conformance;
};

// Writes the report as JSON to `path` atomically. Nothing on success, else why not.
std::optional<QString> writeReport(const QString &path, const TransferReport &report);

// Re-reads the finished file at `mxfPath` and checks it against its report (the report path beside it:
// NAME.json): the SHA-256, the frame count and every frame's checksums. Nothing when the file passes;
// otherwise why not. A missing, unreadable or incomplete report is a failure.
std::optional<QString> auditFile(const QString &mxfPath);
