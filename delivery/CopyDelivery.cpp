#include "delivery/CopyDelivery.h"

#include "conform/Conformance.h"
#include "mxf/DurableFile.h"
#include "threads/ThreadName.h"

#include <QDateTime>
#include <QFileInfo>
#include <thread>

namespace {

// What the checks of one copy found.
struct CheckedCopy {
    std::optional<QString> problem; // why the copy failed its checks
    ReadBackResult readBack;
    QDateTime readBackEnded;
    QStringList conformance;
};

CheckedCopy failedCheck(std::optional<QString> problem) {
    CheckedCopy checked;
    checked.problem = std::move(problem);
    return checked;
}

CheckedCopy check(const WrittenCopy &copy, const DeliverySettings &settings) {
    const QString &part = copy.path.partFile;
    if (copy.problem)
        return failedCheck(copy.problem);
    if (std::optional<QString> problem = syncFile(part))
        return failedCheck(problem);
    CheckedCopy checked;
    checked.readBack =
        settings.readBack(part, settings.expected, settings.stop, copy.directWrites, settings.md5);
    if (settings.stop.stop_requested())
        return failedCheck(QString("stopped while %1 was checked; it keeps that name").arg(part));
    if (checked.readBack.problem && settings.expected)
        return failedCheck(
            QString("verification failed: %1; the file is kept as %2").arg(*checked.readBack.problem, part));
    if (!checked.readBack.sha256)
        return failedCheck(QString("cannot read %1 back for its SHA-256").arg(part));
    checked.readBackEnded = QDateTime::currentDateTimeUtc();
    const conform::ConformanceResult conformance = conform::checkFileConformance(part, settings.essence);
    if (!conformance.failures.empty())
        return failedCheck(QString("the file does not conform: %1; it is kept as %2")
                               .arg(conformance.lines().join("; "), part));
    checked.conformance = conformance.lines();
    return checked;
}

CheckedCopy checkUnlessStopped(const WrittenCopy &copy, const DeliverySettings &settings) {
    if (settings.stop.stop_requested())
        return failedCheck(
            QString("stopped before %1 was checked; it keeps that name").arg(copy.path.partFile));
    return check(copy, settings);
}

// The events of a copy's checks after those of the capture, then one replication for each other copy.
std::vector<PreservationEvent> copyEvents(std::vector<PreservationEvent> events, const CheckedCopy &checked,
                                          size_t frames, const std::vector<OtherCopy> &others,
                                          const DeliverySettings &settings) {
    const QString pass = checked.readBack.bypassedCache
                             ? "read back from the disk past the page cache"
                             : "read back from the disk through the page cache, its pages dropped first";
    const std::vector<EventAgent> agents = settings.agents.ofChecks();
    events.push_back({kDigestEvent, checked.readBackEnded, true,
                      QString("SHA-256 of the whole file, %1; %2 of each frame's essence as written")
                          .arg(pass, kFrameChecksumAlgorithm),
                      agents});
    if (settings.expected)
        events.push_back(
            {kFixityEvent, checked.readBackEnded, true,
             QString("every one of the %1 frames, %2, equals what was written").arg(frames).arg(pass),
             agents});
    const QDateTime now = QDateTime::currentDateTimeUtc();
    events.push_back(
        {kValidationEvent, now, true, "the file's structure passed the conformance check", agents});
    for (const OtherCopy &other : others)
        events.push_back({kReplicationEvent, now, other.finished,
                          other.finished
                              ? QString("a copy written from the same play-out to %1 passed the same "
                                        "checks")
                                    .arg(other.file)
                              : QString("a copy written from the same play-out to %1 failed: %2")
                                    .arg(other.file, other.problem),
                          agents});
    return events;
}

// Writes the copy's companions under in-progress names and commits the set. Nothing when committed; else why
// not. `warning` gets what the user should know of a committed copy.
std::optional<QString> commitCopy(const WrittenCopy &copy, const CheckedCopy &checked, TransferReport report,
                                  const std::vector<OtherCopy> &others, const DeliverySettings &settings,
                                  QString &warning) {
    const OutputPath &path = copy.path;
    const PendingFile checksum{path.checksumFile + kInProgressSuffix, path.checksumFile};
    SyncedFileWriter checksumFile(checksum.inProgress);
    checksumFile.write(sha256sumLine(*checked.readBack.sha256, path.file).toUtf8());
    if (std::optional<QString> problem = checksumFile.finish())
        return problem;

    report.file = path.file;
    report.ended = QDateTime::currentDateTimeUtc();
    report.fileSize = uint64_t(QFileInfo(path.partFile).size());
    if (!folderSyncSupported(path.folder))
        report.warnings << QString(
                               "the file system of %1 does not sync folders: a power cut may lose the names "
                               "of the files just put in place")
                               .arg(path.folder);
    report.sha256 = *checked.readBack.sha256;
    report.io = {copy.directWrites, checked.readBack.bypassedCache, copy.fallback};
    report.conformance = checked.conformance;
    report.events = copyEvents(std::move(report.events), checked, report.checksums.size(), others, settings);
    report.otherCopies = others;
    std::vector<PendingFile> companions{checksum};
    if (copy.frameMd5)
        companions.push_back({path.frameMd5File + kInProgressSuffix, path.frameMd5File});
    const PendingFile reportFile{path.reportFile + kInProgressSuffix, path.reportFile};
    if (std::optional<QString> problem = writeReport(reportFile.inProgress, report))
        return problem;
    companions.push_back(reportFile);
    const CommitResult result =
        commitWithCompanions({path.partFile, path.file}, companions, path.companionFiles(), settings.stop);
    if (!result.committed)
        return result.problem;
    warning = result.problem.value_or(QString());
    return std::nullopt;
}

} // namespace

std::vector<DeliveredCopy> deliverCopies(const std::vector<WrittenCopy> &copies, const TransferReport &report,
                                         const DeliverySettings &settings) {
    // Each further copy is checked on a thread of its own beside the first, so that a second copy costs
    // little more time than one: the reads are independent and the hashing takes a core each.
    std::vector<CheckedCopy> checked(copies.size());
    {
        std::vector<std::jthread> further;
        for (size_t k = 1; k < copies.size(); ++k)
            further.emplace_back([&copies, &settings, &checked, k] {
                const ThreadName name(kCopyCheckThreadName);
                checked[k] = checkUnlessStopped(copies[k], settings);
            });
        checked.front() = checkUnlessStopped(copies.front(), settings);
    }
    std::vector<DeliveredCopy> delivered;
    for (size_t k = 0; k < copies.size(); ++k) {
        DeliveredCopy &outcome = delivered.emplace_back();
        outcome.file = copies[k].path.file;
        if (checked[k].problem) {
            outcome.problem = *checked[k].problem;
            continue;
        }
        std::vector<OtherCopy> others;
        for (size_t j = 0; j < copies.size(); ++j)
            if (j != k)
                others.push_back(
                    {copies[j].path.file, !checked[j].problem, checked[j].problem.value_or(QString())});
        if (std::optional<QString> problem =
                commitCopy(copies[k], checked[k], report, others, settings, outcome.problem)) {
            outcome.problem = *problem;
            continue;
        }
        outcome.committed = true;
        const ReadBackResult &readBack = checked[k].readBack;
        outcome.digests = {*readBack.sha256, readBack.xxh128.value_or(QString()),
                           readBack.md5.value_or(QString())};
    }
    return delivered;
}
