#pragma once

// A clip whose copies are all written and closed, as it waits for its checks and commit, and how that last
// stage ended for the clip as a whole. The writer either runs deliverClip itself or hands the pending clip
// over (see QIROSRTransfer::setHandOverChecks), so that its checks run while the next clip plays out.

#include "delivery/CopyDelivery.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <stop_token>
#include <vector>

struct PendingDelivery {
    std::vector<WrittenCopy> copies;
    // Each frame as it was handed to the MXF library.
    std::vector<FrameChecksum> frames;
    // The facts of the clip; its checksums are set to `frames` when the checks run.
    TransferReport report;
    // How the copies are checked; its `expected` and `stop` are set when the checks run.
    DeliverySettings settings;
    // Whether each copy's read-back is compared frame by frame with `frames`.
    bool compareFrames = true;
};

struct ClipDelivered {
    std::vector<DeliveredCopy> copies; // one per copy, in the order written
    // Why no copy could be committed; nothing when one was.
    std::optional<QString> failure;
    // Of a clip with a committed copy: what the user should know (a further copy failed, a folder could not
    // be synced after its last rename).
    QStringList warnings;
    // The whole-file digests of the first committed copy; none when no copy was committed.
    FileDigests digests() const;
};

// The whole-file digests of the first committed copy among `copies`; none when no copy was committed.
FileDigests firstCommittedDigests(const std::vector<DeliveredCopy> &copies);

// Checks and commits every copy of `pending` (see deliverCopies); `stop` gives the checks up, leaving the
// copies not yet committed under their in-progress names.
ClipDelivered deliverClip(PendingDelivery &pending, std::stop_token stop);
