#pragma once

// The tag files of a BagIt bag (RFC 8493, version 1.0) as this tool writes them, beside a complete data/
// folder: bagit.txt, manifest-sha256.txt (and manifest-md5.txt when MD5s are given), bag-info.txt and
// tagmanifest-sha256.txt over the others. Paths in manifests are relative to the bag, "/"-separated, with
// CR, LF and "%" percent-encoded. bag-info.txt values lose their control characters, and a line longer
// than kBagInfoLineLength is folded at spaces onto indented continuation lines.
//
// Threads: any; no shared state.

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

inline constexpr char kBagItFile[] = "bagit.txt";
inline constexpr char kBagInfoFile[] = "bag-info.txt";
inline constexpr char kBagPayloadFolder[] = "data";
inline constexpr int kBagInfoLineLength = 79;

// One file of the payload: its path below data/ ("/"-separated) and what it holds.
struct PayloadFile {
    QString path;
    uint64_t size = 0;
    QString sha256; // lower-case hex
    QString md5;    // lower-case hex; empty: not taken (then no payload file has one)
};

// The facts bag-info.txt gives; an empty value leaves its label out.
struct BagInfo {
    QDate baggingDate;
    QString sourceOrganization;
    QString externalIdentifier;
    QString softwareAgent;
    QString senderIdentifier;
    QString senderDescription;
};

// A path as a manifest line gives it: CR, LF and "%" percent-encoded.
QString encodeManifestPath(const QString &path);
// The reverse; nothing when a "%" is not followed by two hex digits.
std::optional<QString> decodeManifestPath(const QString &encoded);

// "Payload-Oxum" of the payload: total bytes "." number of files.
QString payloadOxum(const std::vector<PayloadFile> &payload);

// The text of bag-info.txt for `info` and `payload`, labels in a fixed order, lines folded as above.
QByteArray bagInfoText(const BagInfo &info, const std::vector<PayloadFile> &payload);

// Writes the tag files into `bag` (whose data/ holds `payload`), each synced; the names written go into
// `written` (relative to the bag). Nothing on success, else why not.
std::optional<QString> writeBagTags(const QString &bag, const std::vector<PayloadFile> &payload,
                                    const BagInfo &info, QStringList &written);
