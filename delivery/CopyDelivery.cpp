#include "delivery/CopyDelivery.h"

#include "conform/Conformance.h"
#include "mxf/DurableFile.h"
#include "threads/ThreadName.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <thread>

namespace {

// A package UMID as a URN (SMPTE 2029): four bytes of hex in each group, groups joined by dots.
QString umidUrn(const conform::PackageUmid &umid) {
    QStringList groups;
    for (size_t k = 0; k < umid.size(); k += 4)
        groups << QByteArray(reinterpret_cast<const char *>(umid.data() + k), 4).toHex();
    return "urn:smpte:umid:" + groups.join('.');
}

// What the checks of one copy found.
struct CheckedCopy {
    std::optional<QString> problem; // why the copy failed its checks
    ReadBackResult readBack;
    QDateTime readBackEnded;
    QStringList conformance;
    std::optional<conform::PackageUmid> materialPackage; // as the file's header metadata gives it
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
    checked.materialPackage = conformance.materialPackage;
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

// The file's final name: beside its companions, or in its bag's data/.
QString finalFile(const WrittenCopy &copy, const DeliverySettings &settings) {
    return settings.bag ? bagPathsOf(copy.path).payload.file : copy.path.file;
}

// The facts of the copy's bag, from the clip and the file's structure.
BagInfo bagInfoOf(const TransferReport &report, const CheckedCopy &checked,
                  const DeliverySettings &settings) {
    BagInfo info;
    info.baggingDate = QDate::currentDate();
    info.sourceOrganization = settings.bag->organization;
    if (checked.materialPackage)
        info.externalIdentifier = umidUrn(*checked.materialPackage);
    info.softwareAgent = settings.agents.software;
    info.senderIdentifier = QString::fromStdString(report.clip.fileName);
    info.senderDescription =
        QString("reel %1, start time code %2")
            .arg(QString::fromStdString(report.clip.secondName),
                 report.startTimecode.isEmpty() ? QString::fromStdString(report.clip.startText).trimmed()
                                                : report.startTimecode);
    return info;
}

// Writes the copy's companions under in-progress names (of a bag, into its data/ under assembly) and
// commits the set. Nothing when committed; else why not. `outcome` gets the files put in place and what the
// user should know of a committed copy.
std::optional<QString> commitCopy(const WrittenCopy &copy, const CheckedCopy &checked, TransferReport report,
                                  const std::vector<OtherCopy> &others, const DeliverySettings &settings,
                                  DeliveredCopy &outcome) {
    const OutputPath &path = copy.path;
    const std::optional<BagPaths> bag = settings.bag ? std::optional(bagPathsOf(path)) : std::nullopt;
    if (bag)
        if (std::optional<QString> problem = startBag(*bag))
            return problem;
    // The names the companions give the file, and where they are written: beside it under in-progress
    // names, or straight into the data/ of the bag under assembly (the whole folder is in progress).
    const OutputPath &named = bag ? bag->payload : path;
    const OutputPath &staged = bag ? bag->staged : path;
    const auto pending = [&bag](const QString &final, const QString &stagedName) {
        return bag ? PendingFile{stagedName, stagedName} : PendingFile{final + kInProgressSuffix, final};
    };
    const PendingFile checksum = pending(path.checksumFile, staged.checksumFile);
    SyncedFileWriter checksumFile(checksum.inProgress);
    checksumFile.write(sha256sumLine(*checked.readBack.sha256, named.file).toUtf8());
    if (std::optional<QString> problem = checksumFile.finish())
        return problem;

    report.file = named.file;
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
    // The framemd5 list the writer built is complete under its in-progress name beside the file.
    std::vector<PendingFile> built;
    if (copy.frameMd5)
        built.push_back({path.frameMd5File + kInProgressSuffix, staged.frameMd5File});
    const PendingFile reportFile = pending(path.reportFile, staged.reportFile);
    if (std::optional<QString> problem = writeReport(reportFile.inProgress, report))
        return problem;
    if (bag) {
        if (settings.bag->md5 && !checked.readBack.md5)
            return QString("the read-back of %1 took no MD5 for the bag").arg(path.partFile);
        const FileDigests digests{
            *checked.readBack.sha256, {}, settings.bag->md5 ? *checked.readBack.md5 : QString()};
        const BagResult result = commitBag(*bag, {path.partFile, digests, built},
                                           bagInfoOf(report, checked, settings), settings.stop);
        if (!result.committed)
            return result.problem;
        outcome.companions = result.files;
        outcome.problem = result.problem.value_or(QString());
        return std::nullopt;
    }
    std::vector<PendingFile> companions{checksum};
    companions.insert(companions.end(), built.begin(), built.end());
    companions.push_back(reportFile);
    const CommitResult result =
        commitWithCompanions({path.partFile, path.file}, companions, path.companionFiles(), settings.stop);
    if (!result.committed)
        return result.problem;
    // In the order OutputPath::companionFiles names them.
    for (const QString &name : path.companionFiles())
        if (std::any_of(companions.begin(), companions.end(),
                        [&name](const PendingFile &companion) { return companion.final == name; }))
            outcome.companions << name;
    outcome.problem = result.problem.value_or(QString());
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
                // Whatever the check throws fails this copy, never the process.
                try {
                    checked[k] = checkUnlessStopped(copies[k], settings);
                } catch (const std::exception &error) {
                    checked[k] = failedCheck(
                        QString("checking %1 failed: %2").arg(copies[k].path.partFile, error.what()));
                }
            });
        checked.front() = checkUnlessStopped(copies.front(), settings);
    }
    std::vector<DeliveredCopy> delivered;
    for (size_t k = 0; k < copies.size(); ++k) {
        DeliveredCopy &outcome = delivered.emplace_back();
        outcome.file = finalFile(copies[k], settings);
        if (checked[k].problem) {
            outcome.problem = *checked[k].problem;
            continue;
        }
        std::vector<OtherCopy> others;
        for (size_t j = 0; j < copies.size(); ++j)
            if (j != k)
                others.push_back({finalFile(copies[j], settings), !checked[j].problem,
                                  checked[j].problem.value_or(QString())});
        if (std::optional<QString> problem =
                commitCopy(copies[k], checked[k], report, others, settings, outcome)) {
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
