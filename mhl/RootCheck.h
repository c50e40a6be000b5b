#pragma once

// The check of a copied folder against its ASC MHL history, as a verifier of the format does it: every file
// under the root (but ascmhl/ and what the manifests' ignore patterns match) is read once from the disk, past
// the page cache, and compared with the newest hash of it that this tool can compute (md5 or xxh128).
//
// Threads: any; a stop requested through `stop` ends the check at the next read window.

#include "mhl/History.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <stop_token>
#include <vector>

namespace mhl {

struct RootCheck {
    QStringList historyProblems;    // see History::problems; no history at all is one too
    QStringList missing;            // referenced, not there
    QStringList changed;            // "PATH: xxh128 was X, is Y" (or its size differs)
    QStringList unreferenced;       // there, referenced by no generation
    QStringList unreadable;         // "PATH: reason"
    std::vector<FileHash> verified; // files that agree, with the hashes taken now (action kVerified)
    bool stopped = false;

    bool passed() const;
};

// `progress` (when given) hears each file's relative path before it is read.
RootCheck checkRoot(const QString &root, std::stop_token stop = {},
                    const std::function<void(const QString &path)> &progress = {});

// The generation a successful check adds: process kInPlaceProcess, `verified`'s entries.
Generation verifiedGeneration(const RootCheck &check, Generation about);

} // namespace mhl
