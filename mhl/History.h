#pragma once

// The ascmhl/ folder at the root of a copied folder: its generations, numbered from 1, one manifest each
// (NNNN_<root folder name>_<YYYY-MM-DD>_<HHMMSS>Z.mhl), and the chain file ascmhl_chain.xml that lists them
// in order with each manifest's C4 id. A manifest is never changed once written.
//
// Threads: any, one caller per root at a time.

#include "mhl/Manifest.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace mhl {

inline constexpr char kFolder[] = "ascmhl";
inline constexpr char kChainFile[] = "ascmhl_chain.xml";

// What every verifier skips before a manifest's own patterns: .DS_Store and the history folder itself.
QStringList readerIgnorePatterns();
// Patterns every manifest of this tool declares: what readers skip anyway, and the in-progress files a
// failed clip may leave.
QStringList defaultIgnorePatterns();

struct LoadedGeneration {
    int number = 0;
    QString fileName; // of its manifest, in ascmhl/
    Generation generation;
};

struct History {
    std::vector<LoadedGeneration> generations; // oldest first
    // What is wrong with the folder: a manifest that cannot be read, one the chain does not list or lists
    // with another C4 id, a listed one that is missing. Empty: the history is sound (or there is none).
    QStringList problems;
};

// Reads the history of `root`; a root without ascmhl/ has an empty history and no problems.
History loadHistory(const QString &root);

// Adds `generation` as the next one: its manifest is written and synced under its final name, then the chain
// file is rewritten through a temporary name and a rename, and the folder synced. Returns the manifest's
// path, or nothing with `error` saying what failed.
std::optional<QString> appendGeneration(const QString &root, const Generation &generation, QString &error);

} // namespace mhl
