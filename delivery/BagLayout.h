#pragma once

// A finished copy as a BagIt bag (RFC 8493, version 1.0) rather than a file with companions beside it: the
// bag is the folder the file would be in, named as the file without its suffix, holding data/ (the file
// and its companions) and the tag files (see BagTags.h). Nothing reads the file again: its digests are those
// of its one read-back; the companions, small and just written, are hashed as they are on the disk.
//
// The bag is assembled under an in-progress name (NAME.bag.part) beside where it goes: the file and its
// companions are renamed or written into its data/, the tag files written, every file and both folders
// synced, and only then is it renamed into place. A bag already under the final name is first moved aside
// (NAME.bag-old.part), then removed once the new one is in place (and moved back when the new one cannot
// take its name); whoever calls decides whether an existing bag may be replaced at all. A copy that fails
// here leaves only in-progress names behind, beside the older bag.
//
// Threads: one thread per bag; no shared state.

#include "delivery/BagTags.h"
#include "mxf/DurableFile.h"
#include "mxf/OutputPath.h"
#include "verify/FileDigest.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <stop_token>
#include <vector>

// What a bag says beyond its files.
struct BagSettings {
    QString organization; // Source-Organization; empty: left out
    bool md5 = false;     // manifest-md5.txt beside manifest-sha256.txt (the read-back then takes MD5s)
};

struct BagPaths {
    QString bag;        // the finished bag: the file's folder / the file's name without ".mxf"
    QString inProgress; // bag + ".bag.part": the bag while it is assembled
    QString aside;      // bag + ".bag-old.part": an older bag while the new one takes its place
    OutputPath payload; // the file and its companions under bag/data/
    OutputPath staged;  // the same under inProgress/data/
};

BagPaths bagPathsOf(const OutputPath &path);

// Removes what an earlier try left under the in-progress name and creates its data/ folder, so that the
// companions can be written there. Nothing on success, else why not.
std::optional<QString> startBag(const BagPaths &paths);

// What goes into data/ besides what was written there already.
struct BagPayload {
    QString file;                     // the checked file under its in-progress name
    FileDigests digests;              // of its read-back: sha256, and md5 when the bag lists MD5s
    std::vector<PendingFile> renamed; // complete companions outside the bag, moved to their staged names
};

struct BagResult {
    bool committed = false; // the bag is under its final name
    // Why not; of a committed bag, why the folder could not be synced after the last rename.
    std::optional<QString> problem;
    QStringList files; // of a committed bag: every file in it but the MXF file, by its final path
};

// Moves the payload into the staged data/, writes the tag files (with `info`; its Payload-Oxum is the
// payload's) and puts the bag in place as above; each step only while no stop is requested.
BagResult commitBag(const BagPaths &paths, const BagPayload &payload, BagInfo info, std::stop_token stop);
