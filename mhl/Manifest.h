#pragma once

// One generation of an ASC MHL history (version 2.0, namespace urn:ASC:MHL:v2.0): who wrote it, the process,
// the patterns a verifier skips, and a hash entry per file. Written as the schema orders its elements; read
// back as untrusted text.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace mhl {

// The formats this tool computes, in the order the schema wants them inside one hash entry.
inline constexpr char kMd5[] = "md5";
inline constexpr char kXxh128[] = "xxh128";

inline constexpr char kOriginal[] = "original"; // the first hash of a file
inline constexpr char kVerified[] = "verified"; // hashed again, equal to an earlier generation's
inline constexpr char kFailed[] = "failed";     // hashed again, different

inline constexpr char kTransferProcess[] = "transfer";
inline constexpr char kInPlaceProcess[] = "in-place";

struct Hash {
    QString format; // "md5", "xxh128", ... as the element is named
    QString value;  // lower-case hex
    QString action; // kOriginal, kVerified or kFailed
    QDateTime date; // when the hash was taken (UTC); invalid: not given
};

struct FileHash {
    QString path;       // relative to the root, '/' between folders
    qint64 size = 0;    // bytes; -1 when a manifest read back does not give it
    QDateTime modified; // UTC, whole seconds
    std::vector<Hash> hashes;
};

struct Generation {
    QDateTime created; // UTC
    QString hostname;
    QString tool;
    QString toolVersion;
    QString author; // empty: none
    QString process = kTransferProcess;
    // gitignore-style patterns a verifier skips; empty: the element is left out.
    QStringList ignore;
    std::vector<FileHash> files;
};

// The manifest's bytes, UTF-8 with an XML declaration; hash entries in the order of `files`.
QByteArray manifestXml(const Generation &generation);
// A manifest read back; nothing, with `error` saying what is wrong, when it is no manifest of this version.
std::optional<Generation> readManifest(QByteArrayView xml, QString &error);

} // namespace mhl
