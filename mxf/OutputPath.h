#pragma once

// Where a transfer writes its file, destination/secondName/fileName.mxf by default (or below the folders a
// naming template gives, see batch/NamingTemplate.h), and the files beside it. Every name comes from the
// recorder or the user and is untrusted: a name that is empty, "." or "..", or that holds "/", "\", NUL or
// another control character, is made safe (each such character becomes "_"; an empty name becomes "_", "."
// and ".." become "_" and "__"), so each name is exactly one level of folder or file below the last. Bytes
// that are not valid UTF-8 become "%XX" each (hex of the byte), and "%" itself becomes "%25", so that two
// names that differ in such bytes stay distinct; two names that differ only where "_" replaced a character
// can still meet (see batch/OutputCollisions.h). An empty destination
// has no output path: nothing is ever written relative to the file system root or the working directory by
// accident. A relative destination is taken from the working directory.

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

// The suffix of a file while it is written; only a complete file has its final name.
inline constexpr char kInProgressSuffix[] = ".part";

struct OutputPath {
    QString folder;           // destination/secondName (or the template's folders)
    QString file;             // folder/fileName.mxf
    QString partFile;         // file + ".part": the file while it is written
    QString reportFile;       // folder/fileName.json: the transfer report
    QString checksumFile;     // file + ".sha256": the whole file's SHA-256 as sha256sum writes it
    QString frameMd5File;     // folder/fileName.framemd5: per-element MD5s in FFmpeg's framemd5 layout
    QStringList replacements; // one line per name that was made safe, for the log

    // Every companion a finished file may have beside it (report, SHA-256 file, framemd5 list): a new set
    // replaces all of them, so that none of an older set outlives it. A new kind of companion goes here.
    QStringList companionFiles() const { return {reportFile, checksumFile, frameMd5File}; }
};

// The name as the file system sees it: valid UTF-8 kept as it is, the rest made safe as above.
QString safeNameComponent(const std::string &name);

std::optional<OutputPath> outputPathFor(const QString &destination, const std::string &secondName,
                                        const std::string &fileName);
// The same for a path of any depth: every name but the last is a folder, the last the file's name without
// its suffix; each made safe as above. No path for an empty destination or no names.
std::optional<OutputPath> outputPathFor(const QString &destination, const std::vector<std::string> &names);
