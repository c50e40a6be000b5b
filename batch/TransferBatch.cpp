#include "batch/TransferBatch.h"

#include "batch/ClipRules.h"
#include "capture/QIROSRTransfer.h"
#include "mxf/OutputPath.h"

#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <utility>

namespace {

constexpr uint16_t kBoardNumber = 0;

} // namespace

TransferBatch::TransferBatch(std::vector<SRFileInfo> clips, Options options, QObject *parent)
    : QObject(parent), queue(std::move(clips)), options(std::move(options)), results(queue.size()) {
    if (writesFiles() && this->options.hashList && !this->options.destination.isEmpty())
        for (const QString &root : destinationRoots())
            histories.push_back(std::make_unique<RunHistory>(root, *this->options.hashList));
    if (writesFiles() && this->options.checksBesideNextClip && this->options.onClipDone.isEmpty()) {
        lane = std::make_unique<DeliveryLane>();
        connect(lane.get(), &DeliveryLane::started, this, [this](int index) { emit clipChecking(index); });
        connect(lane.get(), &DeliveryLane::delivered, this, &TransferBatch::delivered);
    }
    connect(&hook, &CompletionHook::outputLine, this,
            [this](const QString &line) { emit hookOutput(hookIndex, line); });
    connect(&hook, &CompletionHook::ended, this, [this](const CompletionHook::Result &result) {
        if (!result.succeeded) {
            ++failedHooks;
            emit hookFailed(hookIndex, result.problem);
        }
        if (hookIndex == kBatchHook) {
            ended = true;
            emit batchFinished();
        } else {
            QMetaObject::invokeMethod(
                this, [this] { startClip(); }, Qt::QueuedConnection);
        }
    });
}

TransferBatch::~TransferBatch() {
    endTransfer();
}

bool TransferBatch::writesFiles() const {
    return options.mode != QIROSRTransfer::kModePreviewOnly;
}

bool TransferBatch::allFinished() const {
    return std::all_of(results.begin(), results.end(),
                       [](const Outcome &outcome) { return outcome.finished; });
}

void TransferBatch::start() {
    current = 0;
    // Started from the event loop, so that a front end has connected everything and the loop runs.
    QMetaObject::invokeMethod(
        this, [this] { startClip(); }, Qt::QueuedConnection);
}

void TransferBatch::stop() {
    if (ended)
        return;
    stopping = true;
    if (lane) {
        lane->stop();
        for (const auto &[index, wrote] : std::exchange(checking, {}))
            concludeClip(index, false, "stopped");
    }
    if (hook.isRunning())
        hook.stop();
    else if (current < queue.size())
        finishClip(false, "stopped");
    else if (std::exchange(awaitingLane, false))
        startClip();
}

QMap<QString, QString> TransferBatch::hookVariables(int index) const {
    if (index == kBatchHook) {
        const auto count = [this](auto &&which) {
            return int(std::count_if(results.begin(), results.end(), which));
        };
        return batchHookVariables({stopping        ? "stopped"
                                   : allFinished() ? "finished"
                                                   : "failed",
                                   count([](const Outcome &outcome) { return outcome.finished; }),
                                   count([](const Outcome &outcome) { return outcome.skipped; }),
                                   count([](const Outcome &outcome) { return !outcome.finished; }),
                                   options.destination});
    }
    const SRFileInfo &clip = queue[size_t(index)];
    const Outcome &outcome = results[size_t(index)];
    ClipHookFacts facts{QString::fromStdString(clip.fileName),
                        QString::fromStdString(clip.secondName),
                        outcome.skipped    ? "skipped"
                        : outcome.finished ? "finished"
                                           : "failed",
                        outcome.reason,
                        {},
                        {},
                        options.destination};
    QString namingProblem;
    const auto output = outputOf(size_t(index), options.destination, namingProblem);
    if (outcome.finished && writesFiles() && output) {
        facts.file = finishedPaths(*output).file;
        facts.report = finishedPaths(*output).reportFile;
    }
    return clipHookVariables(facts);
}

void TransferBatch::startClip() {
    awaitingLane = false;
    if (current >= queue.size()) {
        if (!checking.empty())
            awaitingLane = true;
        else
            endBatch();
        return;
    }
    if (stopping) {
        finishClip(false, "stopped");
        return;
    }
    if (lane && !lane->canTakeMore()) {
        awaitingLane = true;
        return;
    }
    budget = RestartBudget(options.restarts);
    attempt = 0;
    if (const auto problem = clipProblem(queue[current])) {
        finishClip(false, *problem);
        return;
    }
    if (!writesFiles()) {
        if (const auto problem = destinationProblem(options.destination)) {
            finishClip(false, *problem);
            return;
        }
    } else if (!prepareCopies()) {
        return;
    }
    launch();
}

QStringList TransferBatch::destinationRoots() const {
    return QStringList{options.destination} + options.furtherDestinations;
}

bool TransferBatch::prepareCopies() {
    Outcome &outcome = results[current];
    outcome.copies.clear();
    writing.clear();
    const QStringList roots = destinationRoots();
    for (qsizetype k = 0; k < roots.size(); ++k) {
        CopyOutcome &copy = outcome.copies.emplace_back();
        copy.destination = roots[k];
        if (const auto problem = destinationProblem(roots[k])) {
            copy.reason = *problem;
            continue;
        }
        QString namingProblem;
        const auto output = outputOf(current, roots[k], namingProblem);
        if (!output) {
            finishClip(false, namingProblem);
            return false;
        }
        copy.file = finishedPaths(*output).file;
        const QString existing = options.bag ? bagPathsOf(*output).bag : output->file;
        if (QFileInfo::exists(existing)) {
            const std::optional<QString> disagreement =
                options.skipExisting ? finishedFileDisagreement(copy.file) : std::nullopt;
            if (options.skipExisting && !disagreement) {
                copy.finished = copy.skipped = true;
                continue;
            }
            if (!options.overwrite) {
                copy.reason =
                    disagreement ? QString("%1 exists already and does not agree with its report "
                                           "(%2); replacing it was not asked for")
                                       .arg(copy.file, *disagreement)
                                 : QString("%1 exists already; replacing it was not asked for").arg(existing);
                continue;
            }
        }
        writing.push_back(size_t(k));
    }
    outcome.outputFile = outcome.copies.front().file;
    if (!writing.empty())
        return true;
    if (std::all_of(outcome.copies.begin(), outcome.copies.end(),
                    [](const CopyOutcome &copy) { return copy.skipped; }))
        skipClip();
    else
        finishClip(false, copiesReason(current));
    return false;
}

QString TransferBatch::copiesReason(size_t index) const {
    const std::vector<CopyOutcome> &copies = results[index].copies;
    if (copies.size() == 1)
        return copies.front().reason;
    QStringList reasons;
    for (const CopyOutcome &copy : copies)
        if (!copy.finished)
            reasons << QString("the copy to %1 failed: %2").arg(copy.destination, copy.reason);
    return reasons.join("; ");
}

OutputPath TransferBatch::finishedPaths(const OutputPath &output) const {
    return options.bag ? bagPathsOf(output).payload : output;
}

std::optional<OutputPath> TransferBatch::outputOf(size_t index, const QString &root, QString &error) const {
    return options.naming.outputPath(root, queue[index], int(index + 1),
                                     options.metadata.pairsFor(queue[index]), error);
}

// One try at the current clip: a new capture object, connected so that only this try's signals count.
void TransferBatch::launch() {
    ++attempt;
    transfer = std::make_unique<QIROSRTransfer>(kBoardNumber, options.portIndex);
    if (!transfer->boardAcquired()) {
        finishClip(false, "the capture board is in use by another application");
        return;
    }
    transfer->setTransfer(queue[current], options.destination.toStdString(), options.mode, options.portIndex);
    const QStringList roots = destinationRoots();
    QString namingProblem;
    if (!writesFiles()) {
        if (std::optional<OutputPath> output = outputOf(current, options.destination, namingProblem))
            transfer->setOutputPath(std::move(*output));
    } else {
        // A destination that vanished since the clip's first try (a restart) fails its copy: the copy's
        // folders are never made again where the destination was.
        Outcome &outcome = results[current];
        std::erase_if(writing, [&](size_t k) {
            const std::optional<QString> problem = destinationProblem(roots[qsizetype(k)]);
            if (problem)
                outcome.copies[k].reason = *problem;
            return problem.has_value();
        });
        if (writing.empty()) {
            finishClip(false, copiesReason(current));
            return;
        }
        // Each was named by prepareCopies before the clip's first try.
        std::vector<OutputPath> paths;
        for (const size_t k : writing)
            if (std::optional<OutputPath> output = outputOf(current, roots[qsizetype(k)], namingProblem))
                paths.push_back(std::move(*output));
        if (paths.size() != writing.size()) {
            finishClip(false, namingProblem);
            return;
        }
        transfer->setOutputPath(paths.front());
        transfer->setFurtherOutputPaths(std::vector<OutputPath>(paths.begin() + 1, paths.end()));
    }
    transfer->setStallLimit(options.stallLimit);
    transfer->setCueLimit(options.cueLimit);
    transfer->setVerification(options.verify);
    transfer->setFrameMd5(options.frameMd5);
    transfer->setMd5(options.hashList && options.hashList->md5);
    transfer->setBag(options.bag);
    transfer->setStrict(options.strict);
    transfer->setUserMetadata(options.metadata.pairsFor(queue[current]));
    transfer->setTransferHistory({results[current].restarts, results[current].drops});
    transfer->setOperatorName(options.operatorName);
    transfer->setHandOverChecks(lane != nullptr);
    const int thisAttempt = attempt;
    const size_t thisClip = current;
    const auto live = [this, thisAttempt, thisClip] {
        return transfer != nullptr && thisAttempt == attempt && thisClip == current;
    };
    QIROSRTransfer *capture = transfer.get();
    connect(capture, &QIROSRTransfer::percentTransferCompleteSignal, this, [this, live](int percent) {
        if (live())
            emit clipProgress(int(current), percent);
    });
    connect(capture, &QIROSRTransfer::transferWarningSignal, this, [this, live](const QString &warning) {
        if (live())
            results[current].warning = warning;
    });
    connect(capture, &QIROSRTransfer::transferCompleteSignal, this, [this, live] {
        if (!live())
            return;
        results[current].framesWithShortSound = transfer->framesWithShortSound();
        results[current].sound = transfer->soundLevels();
        results[current].digests = transfer->fileDigests();
        if (!writesFiles()) {
            finishClip(true, {});
            return;
        }
        const bool finished = settleCopies(current, writing, transfer->copyOutcomes());
        finishClip(finished, finished ? QString() : copiesReason(current));
    });
    connect(capture, &QIROSRTransfer::transferWrittenSignal, this, [this, live] {
        if (live())
            written();
    });
    connect(capture, &QIROSRTransfer::droppedFrameSignal, this, [this, live] {
        if (live())
            dropped();
    });
    connect(capture, &QIROSRTransfer::openFileErrorSignal, this, [this, live](const QString &file) {
        if (live())
            finishClip(false, QString("cannot open the output file %1").arg(file));
    });
    connect(capture, &QIROSRTransfer::transferFailedSignal, this, [this, live](const QString &reason) {
        if (live())
            finishClip(false, reason);
    });
    // The capture thread ends after every report has been sent: a try that ends without one failed.
    connect(capture, &QThread::finished, this, [this, live] {
        if (live())
            finishClip(false, "the transfer ended without a result");
    });
    emit clipStarted(int(current), attempt);
    transfer->start();
}

bool TransferBatch::settleCopies(size_t index, const std::vector<size_t> &wrote,
                                 const std::vector<DeliveredCopy> &delivered) {
    Outcome &outcome = results[index];
    for (size_t n = 0; n < wrote.size() && n < delivered.size(); ++n) {
        CopyOutcome &copy = outcome.copies[wrote[n]];
        copy.finished = delivered[n].committed;
        if (!copy.finished) {
            copy.reason = delivered[n].problem;
            continue;
        }
        if (histories.empty())
            continue;
        if (std::optional<QString> problem = histories[wrote[n]]->addFinished(
                delivered[n].file, delivered[n].digests, delivered[n].companions))
            historyProblems << *problem;
    }
    return std::all_of(outcome.copies.begin(), outcome.copies.end(),
                       [](const CopyOutcome &copy) { return copy.finished; });
}

void TransferBatch::written() {
    Outcome &outcome = results[current];
    outcome.framesWithShortSound = transfer->framesWithShortSound();
    outcome.sound = transfer->soundLevels();
    std::optional<PendingDelivery> pending = transfer->takeWrittenClip();
    if (!pending) {
        finishClip(false, "the transfer ended without a result");
        return;
    }
    endTransfer();
    // The next clip's start is queued before the lane can send anything of this one: it starts before this
    // clip ends.
    QMetaObject::invokeMethod(
        this, [this] { startClip(); }, Qt::QueuedConnection);
    checking.emplace(current, std::exchange(writing, {}));
    lane->submit(int(current), std::move(*pending));
    ++current;
}

// A clip's checks ended: it ends as they tell, and the next clip, or the batch's end, that waited for the
// lane goes on.
void TransferBatch::delivered(int index, const ClipDelivered &result) {
    const auto found = checking.find(size_t(index));
    if (found == checking.end())
        return;
    const std::vector<size_t> wrote = found->second;
    checking.erase(found);
    Outcome &outcome = results[size_t(index)];
    outcome.digests = result.digests();
    outcome.warning = result.warnings.join("; ");
    if (result.failure) {
        concludeClip(size_t(index), false, *result.failure);
    } else {
        const bool finished = settleCopies(size_t(index), wrote, result.copies);
        concludeClip(size_t(index), finished, finished ? QString() : copiesReason(size_t(index)));
    }
    if (std::exchange(awaitingLane, false))
        startClip();
}

void TransferBatch::dropped() {
    Outcome &outcome = results[current];
    outcome.drops.push_back(transfer->dropLocation());
    endTransfer();
    if (!budget.takeRestart()) {
        QStringList places;
        for (const DroppedPicture &drop : outcome.drops)
            places << (drop.frame == 0
                           ? QString("before frame 0")
                           : QString("after frame %1 (%2)").arg(drop.frame - 1).arg(drop.timeCode)) +
                          ": " + drop.cause;
        finishClip(false, QString("frames were dropped on every try; gave up after %1 restarts; dropped %2")
                              .arg(budget.restartsAllowed())
                              .arg(places.join(", ")));
        return;
    }
    results[current].restarts = budget.restartsUsed();
    emit clipRestarting(int(current), budget.restartsUsed());
    launch();
}

void TransferBatch::skipClip() {
    Outcome &outcome = results[current];
    outcome.finished = true;
    outcome.skipped = true;
    const int index = int(current);
    ++current;
    emit clipSkipped(index, outcome.outputFile);
    afterClip(index);
}

void TransferBatch::finishClip(bool finished, const QString &reason) {
    endTransfer();
    writing.clear();
    const size_t index = current;
    ++current;
    concludeClip(index, finished, reason);
    afterClip(int(index));
}

void TransferBatch::concludeClip(size_t index, bool finished, const QString &reason) {
    Outcome &outcome = results[index];
    // A clip that failed as a whole (a drop too many, a failure, a stop) failed every copy not yet ended.
    QString why = reason;
    if (!finished && !outcome.copies.empty()) {
        for (CopyOutcome &copy : outcome.copies)
            if (!copy.finished && copy.reason.isEmpty())
                copy.reason = reason;
        why = copiesReason(index);
    }
    outcome.finished = finished;
    outcome.reason = why;
    if (finished)
        emit clipFinished(int(index), outcome.outputFile);
    else
        emit clipFailed(int(index), why);
}

void TransferBatch::afterClip(int index) {
    if (options.onClipDone.isEmpty() || stopping) {
        QMetaObject::invokeMethod(
            this, [this] { startClip(); }, Qt::QueuedConnection);
        return;
    }
    hookIndex = index;
    hook.start(options.onClipDone, hookVariables(index), options.hookLimit);
}

void TransferBatch::recordHistory() {
    for (const std::unique_ptr<RunHistory> &history : histories) {
        if (std::optional<QString> problem = history->record())
            historyProblems << *problem;
        else if (!history->manifest().isEmpty())
            emit hashListRecorded(history->manifest());
    }
    for (const QString &problem : std::as_const(historyProblems))
        emit hashListFailed(problem);
    histories.clear();
}

void TransferBatch::endBatch() {
    recordHistory();
    if (options.onBatchDone.isEmpty()) {
        ended = true;
        emit batchFinished();
        return;
    }
    hookIndex = kBatchHook;
    hook.start(options.onBatchDone, hookVariables(kBatchHook), options.hookLimit);
}

// Deleting the capture object stops both of its threads, the recorder's play-out, and gives the board back.
void TransferBatch::endTransfer() {
    if (transfer)
        transfer->disconnect(this);
    transfer.reset();
}
