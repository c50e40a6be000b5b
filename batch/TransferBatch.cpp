#include "batch/TransferBatch.h"

#include "batch/ClipRules.h"
#include "capture/QIROSRTransfer.h"
#include "mxf/OutputPath.h"

#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>

namespace {

constexpr uint16_t kBoardNumber = 0;

} // namespace

TransferBatch::TransferBatch(std::vector<SRFileInfo> clips, Options options, QObject *parent)
    : QObject(parent), queue(std::move(clips)), options(std::move(options)), results(queue.size()) {}

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
    if (current >= queue.size())
        return;
    stopping = true;
    finishClip(false, "stopped");
}

void TransferBatch::startClip() {
    if (current >= queue.size()) {
        emit batchFinished();
        return;
    }
    if (stopping) {
        finishClip(false, "stopped");
        return;
    }
    budget = RestartBudget(options.restarts);
    attempt = 0;
    if (const auto problem = clipProblem(queue[current])) {
        finishClip(false, *problem);
        return;
    }
    if (const auto problem = destinationProblem(options.destination)) {
        finishClip(false, *problem);
        return;
    }
    const auto output =
        outputPathFor(options.destination, queue[current].secondName, queue[current].fileName);
    if (output && writesFiles() && QFileInfo::exists(output->file)) {
        results[current].outputFile = output->file;
        const std::optional<QString> disagreement =
            options.skipExisting ? finishedFileDisagreement(output->file) : std::nullopt;
        if (options.skipExisting && !disagreement) {
            skipClip();
            return;
        }
        if (!options.overwrite) {
            finishClip(false,
                       disagreement
                           ? QString("%1 exists already and does not agree with its report "
                                     "(%2); replacing it was not asked for")
                                 .arg(output->file, *disagreement)
                           : QString("%1 exists already; replacing it was not asked for").arg(output->file));
            return;
        }
    }
    launch();
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
    transfer->setStallLimit(options.stallLimit);
    transfer->setCueLimit(options.cueLimit);
    transfer->setVerification(options.verify);
    transfer->setFrameMd5(options.frameMd5);
    transfer->setStrict(options.strict);
    transfer->setUserMetadata(options.metadata.pairsFor(queue[current]));
    transfer->setTransferHistory({results[current].restarts, results[current].drops});
    if (transfer->outputPath() && writesFiles())
        results[current].outputFile = transfer->outputPath()->file;
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
        finishClip(true, {});
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
    QMetaObject::invokeMethod(
        this, [this] { startClip(); }, Qt::QueuedConnection);
}

void TransferBatch::finishClip(bool finished, const QString &reason) {
    endTransfer();
    Outcome &outcome = results[current];
    outcome.finished = finished;
    outcome.reason = reason;
    const int index = int(current);
    ++current;
    if (finished)
        emit clipFinished(index, outcome.outputFile);
    else
        emit clipFailed(index, reason);
    QMetaObject::invokeMethod(
        this, [this] { startClip(); }, Qt::QueuedConnection);
}

// Deleting the capture object stops both of its threads, the recorder's play-out, and gives the board back.
void TransferBatch::endTransfer() {
    if (transfer)
        transfer->disconnect(this);
    transfer.reset();
}
