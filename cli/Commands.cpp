#include "cli/Commands.h"

#include "batch/BatchLog.h"
#include "batch/ClipRules.h"
#include "batch/DiskSpace.h"
#include "batch/NamingTemplate.h"
#include "batch/TransferBatch.h"
#include "batch/UserMetadata.h"
#include "capture/QIROSRTransfer.h"
#include "cli/ClipFigures.h"
#include "cli/ClipListing.h"
#include "cli/InterruptWatch.h"
#include "cli/ProgressDisplay.h"
#include "conform/Conformance.h"
#include "delivery/BagCheck.h"
#include "delivery/RunHistory.h"
#include "mhl/RootCheck.h"
#include "mxf/DurableFile.h"
#include "recorder/QIROSRTransferDevice.h"
#include "verify/TransferReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPortIndex = 0;

void message(const QString &text) {
    std::fprintf(stderr, "vantrel-transfer: %s\n", text.toUtf8().constData());
}

QString nameOf(const SRFileInfo &clip) {
    return QString::fromUtf8(clip.fileName.data(), qsizetype(clip.fileName.size()));
}

// The recorder's whole clip list, or nothing (with a message) when its control line cannot be opened or
// the recorder did not give every clip: a recorder that fails is never taken for one without clips.
std::optional<SRFileList> readClipList() {
    QIROSRTransferDevice device;
    if (!device.open(kPortIndex)) {
        message("cannot open the recorder's control line: no capture board, or its serial line is in use");
        return std::nullopt;
    }
    SRFileList list = device.readFileList();
    device.close();
    if (!list.complete) {
        message(QString("could not read the recorder's whole clip list (%1 clips read): it did not answer, "
                        "answered wrongly or stayed busy")
                    .arg(list.files.size()));
        return std::nullopt;
    }
    return list;
}

// The clips to transfer: those named, in the recorder's order, or every listed one. Nothing (with a
// message) when a name is not on the recorder.
std::optional<std::vector<SRFileInfo>> chooseClips(const SRFileList &list, const CommandLine &line) {
    std::vector<SRFileInfo> chosen;
    if (line.all) {
        for (const SRFileInfo &clip : list.files)
            if (isListed(clip))
                chosen.push_back(clip);
        return chosen;
    }
    for (const QString &name : line.names) {
        const auto found = std::find_if(list.files.begin(), list.files.end(),
                                        [&name](const SRFileInfo &clip) { return nameOf(clip) == name; });
        if (found == list.files.end()) {
            message(QString("no clip named \"%1\" on the recorder (see: vantrel-transfer list)").arg(name));
            return std::nullopt;
        }
    }
    for (const SRFileInfo &clip : list.files)
        if (line.names.contains(nameOf(clip)))
            chosen.push_back(clip);
    return chosen;
}

// The operator's metadata of the run: --set for every clip, the --metadata file for single clips. Nothing
// (with a message) when the file cannot be read or names a clip that the recorder does not have.
std::optional<UserMetadata> readMetadata(const CommandLine &line, const SRFileList &list) {
    UserMetadata metadata;
    std::optional<QString> problem = metadata.setBatchPairs(line.settings, "--set");
    if (!problem && !line.metadataFile.isEmpty()) {
        QStringList recorderClips;
        for (const SRFileInfo &clip : list.files)
            recorderClips << nameOf(clip);
        problem = metadata.readFile(line.metadataFile, recorderClips);
    }
    if (problem) {
        message(*problem);
        return std::nullopt;
    }
    return metadata;
}

// A copied folder checked against its ASC MHL history: each difference on stdout, one line each; a check
// that passes adds a generation of its own with `record`.
int runVerifyFolder(const QString &root, bool record) {
    // The files are read on a thread of their own, so that an interrupt reaches the read under way.
    InterruptWatch interrupts;
    std::stop_source stop;
    QObject::connect(&interrupts, &InterruptWatch::interrupted, [&stop](int) { stop.request_stop(); });
    mhl::RootCheck check;
    QEventLoop loop;
    std::jthread worker([&] {
        check = mhl::checkRoot(root, stop.get_token(),
                               [](const QString &path) { message(QString("reading %1").arg(path)); });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    const auto print = [&root](const QString &what, const QStringList &lines) {
        for (const QString &text : lines)
            std::printf("%s: %s: %s\n", root.toUtf8().constData(), what.toUtf8().constData(),
                        text.toUtf8().constData());
    };
    print("history", check.historyProblems);
    print("missing", check.missing);
    print("changed", check.changed);
    print("not in the history", check.unreferenced);
    print("unreadable", check.unreadable);
    if (check.stopped) {
        message("interrupted: the check was not finished");
        return kExitFailure;
    }
    if (!check.passed())
        return kExitFailure;
    std::printf("%s: verified, %d files agree with the ASC MHL history\n", root.toUtf8().constData(),
                int(check.verified.size()));
    if (!record)
        return kExitSuccess;
    QString error;
    const std::optional<QString> manifest = mhl::appendGeneration(
        root, mhl::verifiedGeneration(check, generationOfThisTool(mhl::kInPlaceProcess, QString())), error);
    if (!manifest) {
        message(QString("the check's generation was not written: %1").arg(error));
        return kExitFailure;
    }
    message(QString("ASC MHL history: %1").arg(*manifest));
    return kExitSuccess;
}

// A BagIt bag (a folder with bagit.txt) is checked as a receiver would: every file against its manifests,
// the Payload-Oxum, nothing unlisted under data/.
int runVerifyBag(const QString &bag) {
    const std::vector<BagProblem> problems = validateBag(bag);
    for (const BagProblem &problem : problems)
        std::printf("%s: %s: %s\n", bag.toUtf8().constData(), problem.check.toUtf8().constData(),
                    problem.detail.toUtf8().constData());
    if (!problems.empty())
        return kExitFailure;
    std::printf("%s: verified, a valid BagIt bag\n", bag.toUtf8().constData());
    return kExitSuccess;
}

} // namespace

int runList(const CommandLine &line) {
    const std::optional<SRFileList> list = readClipList();
    if (!list)
        return kExitFailure;
    if (line.json)
        std::fputs(clipJson(*list).constData(), stdout);
    else
        std::fputs(clipTable(*list).toUtf8().constData(), stdout);
    return kExitSuccess;
}

int runVerify(const CommandLine &line) {
    const QString file = line.names.front();
    if (QFileInfo(file).isDir())
        return QFileInfo::exists(file + "/bagit.txt") ? runVerifyBag(file)
                                                      : runVerifyFolder(file, line.record);
    if (const std::optional<QString> problem = auditFile(file)) {
        message(QString("%1: not verified: %2").arg(file, *problem));
        return kExitFailure;
    }
    std::printf("%s: verified\n", file.toUtf8().constData());
    return kExitSuccess;
}

int runCheck(const CommandLine &line) {
    const QString file = line.names.front();
    QString why;
    const std::optional<conform::ExpectedEssence> expected = conform::expectedEssenceFromReport(file, why);
    if (!expected)
        message(QString("%1: descriptor comparison skipped: %2").arg(file, why));
    const conform::ConformanceResult result = conform::checkFileConformance(file, expected);
    if (result.failures.empty()) {
        std::printf("%s: conforms\n", file.toUtf8().constData());
        return kExitSuccess;
    }
    for (const QString &failure : result.lines())
        std::printf("%s: %s\n", file.toUtf8().constData(), failure.toUtf8().constData());
    return kExitFailure;
}

static_assert(kMostDestinations == qsizetype(QIROSRTransfer::kMostCopies));

int runTransfer(const CommandLine &line) {
    if (const auto problem = destinationsProblem(line.destinations, kMostDestinations)) {
        message(*problem);
        return kExitUsage;
    }
    const bool writesFiles = line.mode != QIROSRTransfer::kModePreviewOnly;
    QStringList leftovers;
    if (writesFiles)
        for (const QString &destination : line.destinations)
            leftovers << inProgressFiles(destination);
    for (const QString &leftover : leftovers)
        message(QString("%1 is left over from a transfer that did not complete; a new transfer of its "
                        "clip replaces it")
                    .arg(leftover));
    const std::optional<SRFileList> list = readClipList();
    if (!list)
        return kExitFailure;
    const std::optional<std::vector<SRFileInfo>> clips = chooseClips(*list, line);
    if (!clips)
        return kExitUsage;
    if (clips->empty()) {
        message("the recorder has no clip that can be transferred");
        return kExitSuccess;
    }

    const std::optional<UserMetadata> metadata = readMetadata(line, *list);
    if (!metadata)
        return kExitUsage;

    QStringList destinations;
    for (const QString &folder : line.destinations)
        destinations << QFileInfo(folder).absoluteFilePath();
    const QString destination = destinations.front();
    const auto outputsBelow = [&](const QString &root) {
        return batchOutputPaths(*clips, root, line.naming,
                                [&](const SRFileInfo &clip) { return metadata->pairsFor(clip); });
    };
    const BatchOutputs outputs = outputsBelow(destination);
    if (outputs.problem) {
        message(*outputs.problem);
        return kExitFailure;
    }
    if (writesFiles) {
        // Clips that will be skipped for their finished file take no room.
        std::vector<DestinationLoad> loads;
        for (const QString &root : destinations) {
            DestinationLoad &load = loads.emplace_back(DestinationLoad{root, {}});
            const BatchOutputs paths = root == destination ? outputs : outputsBelow(root);
            for (size_t k = 0; k < clips->size(); ++k)
                if (!line.skipExisting || finishedFileDisagreement(paths.paths[k].file))
                    load.clips.push_back((*clips)[k]);
        }
        if (const auto problem = spaceProblem(loads)) {
            message(*problem);
            return kExitFailure;
        }
    }

    TransferBatch::Options options;
    options.destination = destination;
    options.furtherDestinations = destinations.mid(1);
    options.mode = line.mode;
    options.portIndex = kPortIndex;
    options.restarts = line.restarts;
    options.overwrite = line.overwrite;
    options.skipExisting = line.skipExisting;
    options.verify = line.verify;
    options.frameMd5 = line.frameMd5;
    options.cueLimit = std::chrono::milliseconds(qint64(line.cueTimeout * 1000));
    options.stallLimit = std::chrono::milliseconds(qint64(line.stallTimeout * 1000));
    options.strict = line.strict;
    options.operatorName = line.operatorName;
    options.onClipDone = line.onClipDone;
    options.onBatchDone = line.onBatchDone;
    options.hookLimit = std::chrono::milliseconds(qint64(line.hookTimeout * 1000));
    options.naming = line.naming;
    options.metadata = *metadata;
    if (line.bag)
        options.bag = BagSettings{line.organization, line.md5};
    if (line.hashList)
        options.hashList = HashListOptions{line.md5, line.author, {BatchLog::kFilePattern}};
    else
        options.hashList.reset();
    TransferBatch batch(*clips, options);
    BatchLog log(destination);
    log.batchStarted(int(clips->size()), destinations.join(", "));
    log.leftovers(leftovers);
    ProgressDisplay display(stderr, isatty(fileno(stderr)) != 0);
    QObject::connect(&batch, &TransferBatch::clipStarted, [&](int index, int attempt) {
        const SRFileInfo &clip = batch.clips()[size_t(index)];
        if (attempt == 1)
            log.clipStarted(nameOf(clip));
        display.clipStarted(nameOf(clip), clip.durationFrames, clip.frameRate, attempt);
    });
    QObject::connect(&batch, &TransferBatch::clipProgress,
                     [&](int, int percent) { display.progress(percent); });
    std::optional<int> checked; // the clip whose checks run beside the next one
    QObject::connect(&batch, &TransferBatch::clipChecking, [&](int index) {
        checked = index;
        display.checking(nameOf(batch.clips()[size_t(index)]));
    });
    const auto checksEnded = [&](int index) {
        if (checked == index) {
            checked.reset();
            display.checking({});
        }
    };
    QObject::connect(&batch, &TransferBatch::clipRestarting, [&](int index, int restart) {
        display.clipEnded();
        log.clipRestarted(nameOf(batch.clips()[size_t(index)]), restart, line.restarts,
                          "a frame was dropped");
        message(QString("%1: a frame was dropped; restart %2 of %3")
                    .arg(nameOf(batch.clips()[size_t(index)]))
                    .arg(restart)
                    .arg(line.restarts));
    });
    // With several destinations, a line for each copy; each further finished copy's path on standard output
    // too (the first copy's is the clip's own).
    const auto reportCopies = [&](int index, bool clipFinished) {
        const std::vector<TransferBatch::CopyOutcome> &copies = batch.outcomes()[size_t(index)].copies;
        if (copies.size() < 2)
            return;
        const QString name = nameOf(batch.clips()[size_t(index)]);
        for (size_t k = 0; k < copies.size(); ++k) {
            const TransferBatch::CopyOutcome &copy = copies[k];
            const QString state = copy.skipped    ? "skipped: finished and agrees with its report"
                                  : copy.finished ? "finished"
                                                  : "failed: " + copy.reason;
            message(QString("%1: copy %2 of %3, %4: %5")
                        .arg(name)
                        .arg(k + 1)
                        .arg(copies.size())
                        .arg(copy.file.isEmpty() ? copy.destination : copy.file, state));
            if (!copy.finished)
                log.clipWarning(name,
                                QString("the copy to %1 failed: %2").arg(copy.destination, copy.reason));
            if (copy.finished && !copy.skipped && (k > 0 || !clipFinished))
                std::printf("%s\n", copy.file.toUtf8().constData());
        }
        std::fflush(stdout);
    };
    std::optional<QString> writePath; // said once, and again when it changes
    QObject::connect(&batch, &TransferBatch::clipFinished, [&](int index, const QString &file) {
        display.clipEnded();
        checksEnded(index);
        if (const std::optional<ClipFigures> figures = clipFiguresOf(file)) {
            if (writePathLine(*figures) != writePath) {
                writePath = writePathLine(*figures);
                message(*writePath);
            }
            message(clipFiguresLine(nameOf(batch.clips()[size_t(index)]), *figures));
        }
        if (const uint64_t damaged = batch.outcomes()[size_t(index)].framesWithShortSound; damaged > 0)
            message(QString("%1: warning: the sound of %2 frames arrived short and was padded with silence "
                            "(damagedFrames in its report; --strict fails such a clip)")
                        .arg(nameOf(batch.clips()[size_t(index)]))
                        .arg(damaged));
        log.clipFinished(nameOf(batch.clips()[size_t(index)]),
                         file.isEmpty() ? "a preview, nothing written" : file);
        if (const uint64_t damaged = batch.outcomes()[size_t(index)].framesWithShortSound; damaged > 0)
            log.clipWarning(
                nameOf(batch.clips()[size_t(index)]),
                QString("the sound of %1 frames arrived short and was padded with silence").arg(damaged));
        if (const QString &warning = batch.outcomes()[size_t(index)].warning; !warning.isEmpty())
            log.clipWarning(nameOf(batch.clips()[size_t(index)]), warning);
        if (file.isEmpty())
            return;
        std::printf("%s\n", file.toUtf8().constData());
        std::fflush(stdout);
        message(QString("%1: sound: %2")
                    .arg(nameOf(batch.clips()[size_t(index)]),
                         soundSummary(batch.outcomes()[size_t(index)].sound)));
        if (const QString &warning = batch.outcomes()[size_t(index)].warning; !warning.isEmpty())
            message(QString("%1: %2").arg(nameOf(batch.clips()[size_t(index)]), warning));
        reportCopies(index, true);
    });
    QObject::connect(&batch, &TransferBatch::clipSkipped, [&](int index, const QString &file) {
        message(QString("%1: skipped: %2 is finished and agrees with its report")
                    .arg(nameOf(batch.clips()[size_t(index)]), file));
    });
    QObject::connect(&batch, &TransferBatch::clipFailed, [&](int index, const QString &reason) {
        display.clipEnded();
        checksEnded(index);
        log.clipFailed(nameOf(batch.clips()[size_t(index)]), reason);
        message(QString("%1: failed: %2").arg(nameOf(batch.clips()[size_t(index)]), reason));
        reportCopies(index, false);
    });
    // A hook's lines and failures name the clip it ran for (REEL/CLIP, or CLIP without a reel), or the batch.
    const auto hookOwner = [&batch](int index) {
        if (index == TransferBatch::kBatchHook)
            return QString("batch");
        const SRFileInfo &clip = batch.clips()[size_t(index)];
        return clip.secondName.empty() ? nameOf(clip)
                                       : QString::fromStdString(clip.secondName) + '/' + nameOf(clip);
    };
    QObject::connect(&batch, &TransferBatch::hookOutput, [&](int index, const QString &text) {
        std::fprintf(stderr, "[%s] %s\n", hookOwner(index).toUtf8().constData(), text.toUtf8().constData());
        log.hookOutput(hookOwner(index), text);
    });
    QObject::connect(&batch, &TransferBatch::hookFailed, [&](int index, const QString &problem) {
        const QString hook = index == TransferBatch::kBatchHook ? "--on-batch-done" : "--on-clip-done";
        log.hookFailed(hookOwner(index), hook, problem);
        message(QString("%1: hook %2 failed: %3").arg(hookOwner(index), hook, problem));
    });
    QObject::connect(&batch, &TransferBatch::hashListRecorded,
                     [](const QString &manifest) { message(QString("ASC MHL history: %1").arg(manifest)); });
    QObject::connect(&batch, &TransferBatch::hashListFailed,
                     [](const QString &problem) { message(QString("hash list: %1").arg(problem)); });
    QObject::connect(&batch, &TransferBatch::batchFinished, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    InterruptWatch interrupts;
    bool interrupted = false;
    QObject::connect(&interrupts, &InterruptWatch::interrupted, &batch, [&](int) {
        display.clipEnded();
        message("interrupted: stopping the transfer");
        interrupted = true;
        batch.stop();
    });
    batch.start();
    QCoreApplication::exec();
    const auto finished =
        std::count_if(batch.outcomes().begin(), batch.outcomes().end(),
                      [](const TransferBatch::Outcome &outcome) { return outcome.finished; });
    log.batchEnded(int(finished), int(clips->size()), interrupted ? "interrupted" : QString());

    return batch.allFinished() && batch.hooksSucceeded() && batch.hashListProblems().isEmpty() ? kExitSuccess
                                                                                               : kExitFailure;
}
