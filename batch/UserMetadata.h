#pragma once

// The operator's metadata of a batch: names with text values for every clip (from `--set NAME=VALUE` or
// the window's form) and, from a metadata file, values for single clips, which replace a batch value of the
// same name. Names compare without regard to case. Each clip's pairs go into its file as user comments and
// into its report.
//
// Names: 1 to 128 characters, no control character, no "=", "{" or "}", no space at either end. Values: up
// to 16,384 characters, no control character at all (tab and line breaks included: readers show values on
// one line). An empty value in a file means "no value for this clip".
//
// Metadata files (UTF-8, at most 16 MiB), CSV unless the name ends in ".json":
//   CSV (RFC 4180): a header row whose first field is "clip", then the metadata names; one row per clip.
//   JSON: an array of objects, each with "clip" and the clip's names, every value a string:
//     [{"clip": "A001C003", "Title": "Harbour at dawn", "Scene": "12"}]
// A clip is named as the recorder lists it; a clip that the recorder does not have is an error, one that is
// on the recorder but not in the batch is ignored (one sheet can serve every batch of a recorder).
//
// Every problem is a message naming its source (the file and line, the JSON entry, or the --set argument).

#include "recorder/SRFileInfo.h"
#include "verify/MetadataPairs.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

inline constexpr qsizetype kMaximumMetadataNameLength = 128;
inline constexpr qsizetype kMaximumMetadataValueLength = 16384;
inline constexpr qint64 kMaximumMetadataFileSize = 16 * 1024 * 1024;

// Why `name` cannot be a metadata name; nothing when it can.
std::optional<QString> metadataNameProblem(const QString &name);
// Why `value` cannot be a metadata value; nothing when it can. An empty value is acceptable here.
std::optional<QString> metadataValueProblem(const QString &value);

// The pair of a NAME=VALUE text (split at the first "="), or the problem with it: no "=", an invalid name,
// an empty or invalid value. The problem names no source; the caller adds it.
struct ParsedSetting {
    std::optional<QPair<QString, QString>> pair;
    QString problem;
};
ParsedSetting parseSetting(const QString &argument);

class UserMetadata {
public:
    // Sets the values for every clip. Nothing on success; else the first problem (an invalid name or value,
    // an empty value or a name given twice), `source` heading the message, and nothing is changed.
    std::optional<QString> setBatchPairs(const MetadataPairs &pairs, const QString &source);
    // Reads the values of single clips from the metadata file at `path`, checking clip names against
    // `recorderClips`. Nothing on success; else the problem, and nothing is changed.
    std::optional<QString> readFile(const QString &path, const QStringList &recorderClips);

    // The resolved pairs of one clip: the batch's pairs in their order, each replaced by the clip's own value
    // of that name, then the clip's other names in the file's order.
    MetadataPairs pairsFor(const QString &clip) const;
    // The same for a clip of the recorder's list, by its name (FileName).
    MetadataPairs pairsFor(const SRFileInfo &clip) const;
    bool isEmpty() const { return batch.isEmpty() && perClip.isEmpty(); }

private:
    MetadataPairs batch;
    QHash<QString, MetadataPairs> perClip;
};
