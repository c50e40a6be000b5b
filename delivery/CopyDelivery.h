#pragma once

// The last stage of a clip's transfer, for every copy the writer wrote side by side from the one play-out:
// 1. each copy is checked: synced, read back once from the disk (past the page cache where it was written
//    so), compared frame by frame with what was handed to the MXF library, its whole-file digests taken in
//    that same pass, and its structure checked (see conform/Conformance.h);
// 2. each copy that passed gets its companions under in-progress names (the .mxf.sha256 line and the
//    report; its framemd5 list the writer built), and the set is committed: the old set and every companion
//    name are removed, the companions renamed in, the file renamed last (see DurableFile.h).
//    With a bag asked for, the copy and its companions go into the data/ folder of a BagIt bag instead,
//    which is put in place whole (see BagLayout.h).
// A copy that fails a step fails alone: it keeps its in-progress name and the other copies go on. Each
// copy's report names the other copies and how their checks ended ("otherCopies"), with a "replication"
// event for each. A stop requested through the settings gives the checks up: the copies not yet committed
// keep their in-progress names.
//
// Threads: called on one thread (the writer's); each further copy is checked on a thread of its own
// (kCopyCheckThreadName) beside it, so the read-back seam must take calls from several threads at once. The
// stop may be requested from any thread.

#include "conform/ExpectedEssence.h"
#include "delivery/BagLayout.h"
#include "mxf/OutputPath.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"
#include "verify/PreservationEvents.h"
#include "verify/TransferReport.h"

#include <QString>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

// The name of the threads that check further copies (see threads/ThreadName.h).
inline constexpr char kCopyCheckThreadName[] = "vtrl-copy-check";

// One copy as the writer left it.
struct WrittenCopy {
    OutputPath path;
    bool directWrites = false; // the bulk went past the page cache
    QString fallback;          // why the copy left the direct path for the buffered one
    // Why the copy failed while it was written; nothing: its in-progress file is complete and closed.
    std::optional<QString> problem;
    bool frameMd5 = false; // its framemd5 list is complete and synced under its in-progress name
};

// The one read-back of a copy (see verify/FileVerification.h's readBack), given up when `stop` is requested.
using CopyReadBack =
    std::function<ReadBackResult(const QString &file, const std::vector<FrameChecksum> *expected,
                                 std::stop_token stop, bool direct, bool md5)>;

struct DeliverySettings {
    const std::vector<FrameChecksum> *expected = nullptr; // each frame as written; null: no comparison
    bool md5 = false;                                     // the read-back also takes each copy's MD5
    std::optional<conform::ExpectedEssence> essence;      // what the descriptors must say
    CopyReadBack readBack = ::readBack;
    std::stop_token stop;
    TransferAgents agents; // who the events of the checks name
    // Each copy as a bag (see BagLayout.h); nothing: the file with its companions beside it. A bag that
    // lists MD5s needs `md5`.
    std::optional<BagSettings> bag;
};

// How one copy ended.
struct DeliveredCopy {
    QString file;           // its final name (in a bag, under data/)
    bool committed = false; // the file is under its final name with its companions
    // Of a committed copy: the other files it put in place, in the order OutputPath::companionFiles names
    // them (of a bag, every file of it).
    QStringList companions;
    // Why the copy failed; of a committed copy, what the user should know (the folder was not synced).
    QString problem;
    FileDigests digests; // of a committed copy, from its read-back
};

// Checks and commits every copy, in order. `report` holds the facts of the clip (what was played out,
// written and found in it); each copy's report adds its own file, size, digests, way to the disk and back,
// conformance, the events of its checks and its siblings. One outcome per copy, in the order given.
std::vector<DeliveredCopy> deliverCopies(const std::vector<WrittenCopy> &copies, const TransferReport &report,
                                         const DeliverySettings &settings);
