#pragma once

// What vantrel-transfer says of a finished clip, from its report beside the file: the material's duration,
// the wall time from the writer's start to the report (read-back included), the speed as a multiple of
// real time, the megabytes (10^6 bytes) per second written, and how the file went to the disk and came
// back (past the page cache or not).

#include <QString>
#include <cstdint>
#include <optional>

struct ClipFigures {
    double materialSeconds = 0;
    double wallSeconds = 0;
    uint64_t fileBytes = 0;
    bool directWrites = false;
    bool directReadBack = false;
    QString fallback; // why direct writes were given up during the clip; empty when they were not
};

// The figures of the finished file at `mxfFile`, from NAME.json beside it; nothing without a readable one.
std::optional<ClipFigures> clipFiguresOf(const QString &mxfFile);
// "NAME: 10.0 s of material in 1.4 s, 7.1 times real time, 412.3 MB/s written; read back past the page cache"
QString clipFiguresLine(const QString &name, const ClipFigures &figures);
// How the clip's file was written, e.g. "writing past the page cache (O_DIRECT)".
QString writePathLine(const ClipFigures &figures);
