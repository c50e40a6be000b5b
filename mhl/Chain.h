#pragma once

// The chain file ascmhl/ascmhl_chain.xml (namespace urn:ASC:MHL:DIRECTORY:v2.0): every generation in order,
// by its manifest's file name and the C4 id of the manifest's bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace mhl {

struct ChainEntry {
    int sequence = 0; // the generation's number, from 1
    QString path;     // the manifest's file name in ascmhl/
    QString c4;       // C4 id of the manifest's bytes
};

// The chain file's bytes, entries in the order given.
QByteArray chainXml(const std::vector<ChainEntry> &entries);
// The entries of a chain file read back as untrusted text: each with a number from 1, a plain file name and a
// C4 id, no number or name twice. Nothing, with `error` saying what is wrong, otherwise.
std::optional<std::vector<ChainEntry>> readChain(QByteArrayView xml, QString &error);

} // namespace mhl
