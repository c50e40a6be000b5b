#include "delivery/ClipDelivery.h"

FileDigests firstCommittedDigests(const std::vector<DeliveredCopy> &copies) {
    for (const DeliveredCopy &copy : copies)
        if (copy.committed)
            return copy.digests;
    return {};
}

FileDigests ClipDelivered::digests() const {
    return firstCommittedDigests(copies);
}

ClipDelivered deliverClip(PendingDelivery &pending, std::stop_token stop) {
    pending.report.checksums = pending.frames;
    pending.settings.expected = pending.compareFrames ? &pending.frames : nullptr;
    pending.settings.stop = std::move(stop);
    ClipDelivered result;
    result.copies = deliverCopies(pending.copies, pending.report, pending.settings);
    QStringList failures;
    for (const DeliveredCopy &copy : result.copies)
        if (!copy.committed)
            failures << copy.problem;
    if (failures.size() == qsizetype(result.copies.size())) {
        result.failure = failures.join("; ");
        return result;
    }
    for (const DeliveredCopy &copy : result.copies) {
        if (copy.committed && !copy.problem.isEmpty())
            result.warnings << copy.problem;
        else if (!copy.committed)
            result.warnings << QString("the copy %1 failed: %2").arg(copy.file, copy.problem);
    }
    return result;
}
