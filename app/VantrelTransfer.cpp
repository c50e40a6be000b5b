// The window's side of a transfer: start and stop, the checks before a batch and before each clip, the
// capture object's reports, the batch of ticked clips with its Status column, summary and log, and the folder
// chooser.

#include "app/FurtherFolderList.h"
#include "app/QIROSRTransferWidget.h"
#include "app/Vantrel.h"
#include "batch/ClipRules.h"
#include "batch/DiskSpace.h"
#include "batch/NamingTemplate.h"
#include "capture/QIROSRTransfer.h"
#include "card/CWyrnCard.h"
#include "delivery/DeliveryLane.h"
#include "mxf/DurableFile.h"
#include "ui/QiroComboBox.h"
#include "verify/SoundLevels.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>

namespace {

constexpr uint16_t kBoardNumber = 0;
const char kQueued[] = "queued";
constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

QString nameOf(const std::string &fileName) {
    return QString::fromUtf8(fileName.data(), qsizetype(fileName.size()));
}

// Seconds of material in share (0 to 1) of the clip, as the recorder plays it out in real time.
double playoutSeconds(const SRFileInfo &clip, double share) {
    return clip.frameRate > 0 ? double(clip.durationFrames) * share / clip.frameRate : 0;
}

QString durationText(double seconds) {
    const int whole = int(seconds + 0.5);
    if (whole >= kSecondsPerHour)
        return QStringLiteral("%1 h %2 min")
            .arg(whole / kSecondsPerHour)
            .arg((whole % kSecondsPerHour) / kSecondsPerMinute, 2, 10, QLatin1Char('0'));
    if (whole >= kSecondsPerMinute)
        return QStringLiteral("%1 min %2 s")
            .arg(whole / kSecondsPerMinute)
            .arg(whole % kSecondsPerMinute, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 s").arg(whole);
}

// A failure that every later clip would meet too.
bool stopsEveryClip(const QString &reason) {
    return reason.startsWith(QStringLiteral("disk full"));
}

// Why one of a clip's `copies` copies, the one to `root`, failed: the copy named as the command line's batch
// names it, when there are several.
QString copyFailure(const QString &root, size_t copies, const QString &why) {
    return copies > 1 ? QStringLiteral("the copy to %1 failed: %2").arg(root, why) : why;
}

} // namespace

bool Vantrel::isIdle() const {
    return startStopButton->text() == tr("Start Transfer");
}

QMessageBox::StandardButton Vantrel::message(QMessageBox::Icon icon, const QString &title,
                                             const QString &text, QMessageBox::StandardButtons buttons) {
    return dialogs->message(this, icon, title, text, buttons);
}

void Vantrel::startAndStopTransfer() {
    if (isIdle()) {
        if (auto outputs = checksBeforeStart())
            beginBatch(std::move(*outputs));
        return;
    }
    const auto answer =
        message(QMessageBox::Question, tr("Stop Transfer Dialog"),
                tr("Would you like to Stop This Transfer?"), QMessageBox::Yes | QMessageBox::No);
    // The batch may have ended while the question was open; when it went on with another clip, Yes stops
    // the batch all the same.
    if (answer != QMessageBox::Yes || isIdle())
        return;
    batchRun->stopRequested = true;
    // The clips written before the running one are stopped first, in the order they played.
    stopChecks();
    // Waiting for the board: the clip never started; one that was to be tried again is stopped.
    if (const std::optional<ClipKey> waiting = std::exchange(batchRun->awaitingBoard, std::nullopt)) {
        if (const QStandardItem *status = statusOf(*waiting); status && status->text() != tr(kQueued))
            markStopped(*waiting);
        endBatch(tr("stopped by the user"));
        return;
    }
    // Between clips, or at the batch's end, a hook runs: it is killed, and its end stops the batch. Else the
    // batch waited for the checks just given up.
    if (!running) {
        if (batchRun->hookClip || batchRun->endedWhy)
            hook->stop();
        else
            endBatch(tr("stopped by the user"));
        return;
    }
    markStopped(keyOf(*running));
    resetTransfer();
    endBatch(tr("stopped by the user"));
}

void Vantrel::markStopped(const ClipKey &clip) {
    batch.clipStopped(nameOf(clip.second));
    batchRun->log->clipSkipped(nameOf(clip.second), tr("stopped by the user"));
    setStatus(clip, tr("stopped"));
    batchRun->ended.insert(clip);
}

void Vantrel::stopChecks() {
    lane->stop();
    for (const auto &[number, written] : std::exchange(batchRun->verifying, {}))
        markStopped(keyOf(written.clip));
}

void Vantrel::waitForChecks() {
    startStopButton->setText(tr("Stop Transfer"));
    if (batchRun->verifying.empty())
        return;
    QString text = tr("Verifying %1").arg(nameOf(batchRun->verifying.begin()->second.clip.fileName));
    if (!batchRun->leftoverNote.isEmpty())
        text = batchRun->leftoverNote + '\n' + text;
    statusLine->setText(text);
}

QString Vantrel::withChecks(const QString &line) const {
    if (!batchRun || batchRun->verifying.empty())
        return line;
    return tr("%1; verifying %2").arg(line, nameOf(batchRun->verifying.begin()->second.clip.fileName));
}

QStringList Vantrel::destinationRoots() const {
    return QStringList{destinationFolder} + furtherFolders->folders();
}

// The folders (each one, then whether they overlap) and the naming template, then the clips that cannot be
// transferred (the user may go ahead with the rest), then the others' names: a clip the template cannot
// name, or clips that would share a file, then their disk space, per file system. Nothing ticked passes, and
// the batch ends at once without a word.
std::optional<std::map<Vantrel::ClipKey, std::vector<Vantrel::ClipCopy>>> Vantrel::checksBeforeStart() {
    const QStringList roots = destinationRoots();
    for (const QString &root : roots)
        if (const auto problem = destinationProblem(root)) {
            message(QMessageBox::Critical, tr("Folder Not Found"), *problem, QMessageBox::Abort);
            return std::nullopt;
        }
    if (const auto problem = destinationsProblem(roots, qsizetype(QIROSRTransfer::kMostCopies))) {
        message(QMessageBox::Critical, tr("Destination Folders"), *problem, QMessageBox::Abort);
        return std::nullopt;
    }
    QString namingProblem;
    const std::optional<NamingTemplate> naming =
        NamingTemplate::parse(namingBox->currentText(), namingProblem);
    if (!naming) {
        message(QMessageBox::Critical, tr("Naming Template"), namingProblem, QMessageBox::Abort);
        return std::nullopt;
    }
    QStringList refusals;
    std::vector<SRFileInfo> accepted;
    for (const auto &[file, item] : rows()) {
        if (item->checkState() != Qt::Checked)
            continue;
        const SRFileInfo &clip = fileList.files[file];
        if (const auto problem = clipProblem(clip))
            refusals << tr("%1: %2").arg(nameOf(clip.fileName), *problem);
        else
            accepted.push_back(clip);
    }
    if (refusals.isEmpty() && accepted.empty())
        return std::nullopt;
    if (!refusals.isEmpty()) {
        const QString list = refusals.join('\n');
        if (accepted.empty()) {
            message(QMessageBox::Critical, tr("Clips Cannot Be Transferred"),
                    tr("These clips cannot be transferred:\n%1").arg(list), QMessageBox::Abort);
            return std::nullopt;
        }
        if (message(
                QMessageBox::Warning, tr("Clips Cannot Be Transferred"),
                tr("These clips cannot be transferred:\n%1\n\nTransfer the other ticked clips?").arg(list),
                QMessageBox::Yes | QMessageBox::Cancel) != QMessageBox::Yes)
            return std::nullopt;
    }
    // The same names below every folder.
    std::map<ClipKey, std::vector<ClipCopy>> paths;
    std::vector<DestinationLoad> loads;
    for (const QString &root : roots) {
        const BatchOutputs outputs =
            batchOutputPaths(accepted, root, *naming, [this](const SRFileInfo &) { return batchMetadata; });
        if (outputs.problem) {
            message(QMessageBox::Critical,
                    outputs.paths.size() < accepted.size() ? tr("Clips Cannot Be Named")
                                                           : tr("Clips Share a File"),
                    *outputs.problem, QMessageBox::Abort);
            return std::nullopt;
        }
        for (size_t k = 0; k < accepted.size(); ++k)
            paths[keyOf(accepted[k])].push_back({root, outputs.paths[k]});
        loads.push_back({root, accepted});
    }
    if (transferModeSelector->currentData(Qt::UserRole).toInt() != QIROSRTransfer::kModePreviewOnly) {
        if (const auto problem = spaceProblem(loads)) {
            message(QMessageBox::Critical, tr("Not Enough Disk Space"), *problem, QMessageBox::Abort);
            return std::nullopt;
        }
    }
    return paths;
}

// Refused clips are skipped with their reasons; each copy whose finished file is there already is asked about
// now, before the batch runs unattended, and a clip every copy of which keeps its file is skipped and
// unticked; the others are queued. Leftovers of earlier runs in any folder are named once, in the status
// line, the summary and the log, which is the first folder's.
void Vantrel::beginBatch(std::map<ClipKey, std::vector<ClipCopy>> outputs) {
    batch = BatchReport();
    finishedFiles = FinishedFileChoice();
    tries = ClipTries();
    const bool writes =
        transferModeSelector->currentData(Qt::UserRole).toInt() != QIROSRTransfer::kModePreviewOnly;
    batchRun.emplace();
    batchRun->outputs = std::move(outputs);
    batchRun->log = std::make_unique<BatchLog>(destinationFolder);
    if (writes && bagBox->isChecked())
        batchRun->bag = BagSettings{organizationEdit->text().trimmed(), md5Box->isChecked()};
    const QStringList roots = destinationRoots();
    QStringList leftovers;
    for (const QString &root : roots) {
        if (writes && hashListBox->isChecked())
            batchRun->histories.push_back(std::make_unique<RunHistory>(
                root, HashListOptions{
                          md5Box->isChecked(), authorEdit->text().trimmed(), {BatchLog::kFilePattern}}));
        leftovers << inProgressFiles(root);
    }
    batch.setLeftovers(leftovers);
    if (!leftovers.isEmpty())
        batchRun->leftoverNote =
            tr("Left over from earlier transfers that did not complete: %1").arg(leftovers.join(", "));
    int queued = 0;
    for (const auto &[file, item] : rows()) {
        if (item->checkState() != Qt::Checked)
            continue;
        const SRFileInfo &clip = fileList.files[file];
        if (const auto problem = clipProblem(clip)) {
            batchRun->ended.insert(keyOf(clip));
            batch.clipSkipped(nameOf(clip.fileName), *problem);
            setStatus(keyOf(clip), tr("skipped: %1").arg(*problem));
            continue;
        }
        // With bags, the bag as a whole is what exists and is replaced.
        const auto copies = batchRun->outputs.find(keyOf(clip));
        if (writes && copies != batchRun->outputs.end())
            for (ClipCopy &copy : copies->second)
                copy.kept = !finishedFiles.transfers(
                    *dialogs, this, batchRun->bag ? bagPathsOf(copy.path).bag : copy.path.file);
        if (copies != batchRun->outputs.end() &&
            std::all_of(copies->second.begin(), copies->second.end(),
                        [](const ClipCopy &copy) { return copy.kept; })) {
            const QString kept = tr("its finished file is kept");
            batchRun->ended.insert(keyOf(clip));
            item->setCheckState(Qt::Unchecked);
            batch.clipSkipped(nameOf(clip.fileName), kept);
            setStatus(keyOf(clip), tr("skipped: %1").arg(kept));
            continue;
        }
        setStatus(keyOf(clip), tr(kQueued));
        ++queued;
    }
    batchRun->log->batchStarted(queued, roots.join(", "));
    batchRun->log->leftovers(leftovers);
    for (const BatchReport::Clip &skipped : batch.clips())
        batchRun->log->clipSkipped(skipped.name, skipped.reason);
    startNextClip();
}

void Vantrel::startNextClip() {
    const int mode = transferModeSelector->currentData(Qt::UserRole).toInt();
    const auto table = rows();
    // Only the clips checked and named before the start belong to the batch.
    const auto next = std::find_if(table.begin(), table.end(), [this](const auto &row) {
        const ClipKey key = keyOf(fileList.files[row.first]);
        return row.second->checkState() == Qt::Checked && !batchRun->ended.contains(key) &&
               batchRun->outputs.contains(key);
    });
    if (next == table.end()) {
        endBatch();
        return;
    }
    const SRFileInfo file = fileList.files[next->first];
    const QString clipName = nameOf(file.fileName);
    // A drop restarts the first ticked clip: another one when the running clip was unticked meanwhile.
    const bool firstTry = file.fileName != tries.fileName || file.secondName != tries.secondName;
    // The batch is to end once its clips are checked: no clip starts, and one to be tried again fails for why
    // (no box: a clip has started).
    if (batchRun->ending) {
        if (firstTry)
            endBatch(*batchRun->ending);
        else
            failBatch(file, *batchRun->ending, QString(), QString());
        return;
    }
    // At most one written clip waits for its checks: the clip starts once the lane delivered one.
    if (!lane->canTakeMore()) {
        waitForChecks();
        return;
    }
    // A stopped capture object still finishing holds the board: the clip starts once it is gone
    // (boardGivenBack), the window waiting meanwhile without blocking.
    if (preview->finishing()) {
        batchRun->awaitingBoard = keyOf(file);
        startStopButton->setText(tr("Stop Transfer"));
        statusLine->setText(withChecks(
            tr("Waiting for the last transfer to finish its file and give the board back before %1 starts")
                .arg(clipName)));
        return;
    }
    // The folder may have gone since the batch started.
    if (const auto problem = destinationProblem(destinationFolder)) {
        failBatch(file, *problem, tr("Folder Not Found"), *problem);
        return;
    }
    fileTable->selectRow(int(next - table.begin()));
    if (firstTry)
        tries = ClipTries{file.fileName, file.secondName, RestartBudget(), TransferHistory()};
    // The copies whose finished files are kept are not written; a further folder gone since the batch
    // started fails its copy alone. A preview writes none.
    RunningClip clip{file.fileName, file.secondName, {}, {}};
    const std::vector<ClipCopy> &copies = batchRun->outputs.at(keyOf(file));
    const bool writes = mode != QIROSRTransfer::kModePreviewOnly;
    for (size_t k = 0; writes && k < copies.size(); ++k) {
        if (copies[k].kept)
            continue;
        if (const auto problem = k > 0 ? destinationProblem(copies[k].root) : std::nullopt)
            clip.refused.emplace(k, *problem);
        else
            clip.written.push_back(k);
    }
    if (writes && clip.written.empty()) {
        running = std::move(clip);
        if (firstTry)
            batchRun->log->clipStarted(clipName);
        failClip(QString());
        return;
    }
    const int portIndex = portSelector->currentIndex();
    if (!preview->acquireBoard(kBoardNumber, portIndex)) {
        failBatch(
            file, tr("the capture board is in use by another application"), tr("Board In Use"),
            tr("<p>The QIRO Capture Device is in use by another Application. Quit other application and try "
               "again"));
        return;
    }
    connectTransferSignals();
    if (!preview->hasValidInput()) {
        failBatch(
            file, tr("the capture device has no valid input"), tr("Invalid Input"),
            tr("<p>The QIRO Capture Device does not have a valid Input. Make Sure either a Corvel or Pyxen "
               "Capture Device is installed.Make Sure the SRModule Output 1 is Connected to the QIRO Capture "
               "Device Input 1And the SR Module is in Vantrel Mode"));
        return;
    }
    QIROSRTransfer *capture = preview->capture();
    capture->setFrameMd5(frameMd5Box->isChecked());
    capture->setMd5(!batchRun->histories.empty() && md5Box->isChecked());
    capture->setBag(batchRun->bag);
    capture->setUserMetadata(batchMetadata);
    capture->setOperatorName(metadataValue(batchMetadata, "Operator").value_or(QString()));
    capture->setTransferHistory(tries.history);
    capture->setCueLimit(std::chrono::seconds(cueTimeoutBox->value()));
    capture->setStallLimit(std::chrono::seconds(stallTimeoutBox->value()));
    // The command run after each clip is promised a finished file before the next clip starts.
    capture->setHandOverChecks(writes && clipDoneCommand->text().trimmed().isEmpty());
    std::vector<OutputPath> further;
    for (size_t n = 1; n < clip.written.size(); ++n)
        further.push_back(copies[clip.written[n]].path);
    const ClipCopy &first = copies[clip.written.empty() ? 0 : clip.written.front()];
    preview->startTransfer(file, first.root.toStdString(), first.path, mode, portIndex, further);
    running = std::move(clip);
    batchRun->clipStarted = true;
    if (firstTry)
        batchRun->log->clipStarted(clipName);
    if (tries.budget.restartsUsed() == 0)
        setStatus(keyOf(file), tr("cueing"));
    startStopButton->setText(tr("Stop Transfer"));
    showRunningStatus(0);
}

void Vantrel::showRunningStatus(int percent) {
    const auto table = rows();
    double secondsLeft = 0;
    int remaining = 0;
    for (const auto &[file, item] : table) {
        const SRFileInfo &clip = fileList.files[file];
        const ClipKey key = keyOf(clip);
        if (key == ClipKey{running->secondName, running->fileName}) {
            secondsLeft += playoutSeconds(clip, 1.0 - percent / 100.0);
            ++remaining;
        } else if (item->checkState() == Qt::Checked && !batchRun->ended.contains(key) &&
                   batchRun->outputs.contains(key)) {
            secondsLeft += playoutSeconds(clip, 1.0);
            ++remaining;
        }
    }
    const int done = batch.finishedCount() + int(batchRun->verifying.size()) +
                     int(std::count_if(batch.clips().begin(), batch.clips().end(), [](const auto &clip) {
                         return clip.outcome == BatchReport::Outcome::Failed;
                     }));
    const int position = done + 1;
    const int total = done + remaining;
    progressBar->setFormat(tr("clip %1 of %2: %p%").arg(position).arg(total));
    QString text = tr("Transferring %1 (clip %2 of %3), about %4 left at the recorder's pace")
                       .arg(nameOf(running->fileName))
                       .arg(position)
                       .arg(total)
                       .arg(durationText(secondsLeft));
    if (!batchRun->leftoverNote.isEmpty())
        text = batchRun->leftoverNote + '\n' + text;
    statusLine->setText(withChecks(text));
}

void Vantrel::boardGivenBack() {
    if (closingWith) {
        QDialog::done(*closingWith);
        return;
    }
    if (batchRun && std::exchange(batchRun->awaitingBoard, std::nullopt))
        startNextClip();
}

void Vantrel::resetTransfer() {
    disconnectTransferSignals();
    preview->stopTransfer();
    running.reset();
    progressBar->setValue(0);
    progressBar->setFormat(QStringLiteral("%p%"));
    startStopButton->setText(tr("Start Transfer"));
    showSplash();
}

// Reports that arrive once no clip runs (the window idle, or a hook running) belong to a transfer already
// stopped, and are dropped. Each copy ends as the capture object tells: a finished one with its files, in its
// folder's history; when one failed, the clip failed, naming each failed copy, and its finished copies stay
// finished. The files of every finished copy go into the summary, the log and the Status cell's tool tip.
void Vantrel::transferComplete() {
    if (!running)
        return;
    const QIROSRTransfer *capture = preview->capture();
    const WrittenClip written{*running, tries.budget.restartsUsed(), capture->soundLevels(),
                              capture->framesWithShortSound()};
    ClipDelivered result;
    result.copies = capture->copyOutcomes();
    const ClipHookFacts facts = recordDelivered(written, result);
    resetTransfer();
    tries = ClipTries();
    afterClip(keyOf(written.clip), facts);
}

// The capture object is released as at a transfer's completion, and the next clip starts while the lane
// checks this one (see startNextClip for when it waits).
void Vantrel::transferWritten() {
    if (!running)
        return;
    QIROSRTransfer *capture = preview->capture();
    std::optional<PendingDelivery> pending = capture->takeWrittenClip();
    if (!pending) {
        failClip(tr("the written clip was not handed over for its checks"));
        return;
    }
    const int number = ++laneClips;
    const ClipKey key = keyOf(*running);
    batchRun->verifying.emplace(number, WrittenClip{*running, tries.budget.restartsUsed(),
                                                    capture->soundLevels(), capture->framesWithShortSound()});
    batchRun->ended.insert(key);
    lane->submit(number, std::move(*pending));
    setStatus(key, tr("verifying"));
    resetTransfer();
    tries = ClipTries();
    startNextClip();
}

// A failed check fails its clip alone (as a transfer's failure would), unless it stops every clip: the
// batch then ends once nothing plays. The next clip starts when none plays, the board is not awaited and no
// hook runs.
void Vantrel::clipChecked(int number, const ClipDelivered &result) {
    if (!batchRun)
        return;
    const auto found = batchRun->verifying.find(number);
    if (found == batchRun->verifying.end())
        return;
    const WrittenClip written = std::move(found->second);
    batchRun->verifying.erase(found);
    if (result.failure) {
        const ClipHookFacts facts = recordFailure(written.clip, written.restarts, *result.failure);
        // The clip that plays meets it too, or ends: no other starts.
        if (stopsEveryClip(*result.failure) && batchRun->ending.value_or(QString()).isEmpty())
            batchRun->ending = facts.reason;
    } else {
        recordDelivered(written, result);
    }
    if (running)
        showRunningStatus(progressBar->value());
    else if (!batchRun->awaitingBoard && !batchRun->hookClip && !batchRun->endedWhy)
        startNextClip();
}

ClipHookFacts Vantrel::recordDelivered(const WrittenClip &written, const ClipDelivered &result) {
    const RunningClip &done = written.clip;
    const ClipKey key = keyOf(done);
    const QString clipName = nameOf(done.fileName);
    const std::vector<ClipCopy> &copies = batchRun->outputs.at(key);
    const std::vector<DeliveredCopy> &delivered = result.copies;
    QStringList files;
    QStringList failures;
    QStringList warnings;
    QStringList copyLines; // how each copy ended, for the tool tip of a clip with several
    for (size_t k = 0; k < copies.size(); ++k) {
        const ClipCopy &copy = copies[k];
        const size_t place =
            size_t(std::find(done.written.begin(), done.written.end(), k) - done.written.begin());
        QString state;
        if (copy.kept) {
            state = tr("skipped: its finished file is kept");
            batchRun->log->clipSkipped(clipName,
                                       tr("the copy to %1: its finished file is kept").arg(copy.root));
        } else if (const auto refused = done.refused.find(k); refused != done.refused.end()) {
            failures << copyFailure(copy.root, copies.size(), refused->second);
            state = tr("failed: %1").arg(refused->second);
        } else if (place >= delivered.size()) {
            continue; // a preview writes no copy
        } else if (!delivered[place].committed) {
            failures << copyFailure(copy.root, copies.size(), delivered[place].problem);
            state = tr("failed: %1").arg(delivered[place].problem);
        } else {
            state = tr("finished");
            // Where the copy and what it put in place are: beside each other, or in its bag.
            const DeliveredCopy &placed = delivered[place];
            files << placed.file << placed.companions;
            // What the user should know about a finished copy (its folder was not synced).
            if (!delivered[place].problem.isEmpty())
                warnings << delivered[place].problem;
            batchRun->log->clipFinished(clipName, placed.file);
            if (!batchRun->histories.empty())
                if (const std::optional<QString> problem =
                        batchRun->histories[k]->addFinished(placed.file, placed.digests, placed.companions))
                    batch.hashListFailed(*problem);
        }
        copyLines << tr("copy %1 of %2, %3: %4").arg(k + 1).arg(copies.size()).arg(copy.path.file, state);
    }
    if (const uint64_t shortSound = written.shortSound; shortSound > 0)
        warnings << tr("the sound of %1 %2 arrived short and was padded with silence (damagedFrames in its "
                       "report)")
                        .arg(shortSound)
                        .arg(shortSound == 1 ? tr("frame") : tr("frames"));
    const bool finished = failures.isEmpty();
    const QString reason = failures.join("; ");
    if (finished)
        batch.clipFinished(clipName, files, written.restarts, warnings);
    else
        batch.clipFailed(clipName, reason, written.restarts, files, warnings);
    if (!finished)
        batchRun->log->clipFailed(clipName, reason);
    for (const QString &warning : warnings)
        batchRun->log->clipWarning(clipName, warning);
    batchRun->ended.insert(key);
    // Silent or clipped channels and the warnings put a warning mark in the Status cell of a finished clip,
    // its tool tip telling them after the files; with several copies, it first tells how each ended.
    const QString soundNote = soundWarning(written.sound);
    QStringList tip;
    if (!finished)
        tip << reason;
    if (copies.size() > 1)
        tip << copyLines;
    tip << files;
    if (!soundNote.isEmpty())
        tip << tr("sound: %1").arg(soundNote);
    tip << warnings;
    setStatus(key, finished ? tr("finished (verified)") : tr("failed: %1").arg(reason), tip.join('\n'));
    if (QStandardItem *status = statusOf(key);
        finished && status != nullptr && (!soundNote.isEmpty() || !warnings.isEmpty()))
        status->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    // The clip just transferred is unticked, wherever its row is now; one whose copy failed stays ticked.
    for (const auto &[file, item] : rows())
        if (finished && keyOf(fileList.files[file]) == key && item->checkState() == Qt::Checked) {
            item->setCheckState(Qt::Unchecked);
            break;
        }
    // The hook's facts are the first folder's.
    const OutputPath &first = copies.front().path;
    return {clipName,
            nameOf(done.secondName),
            finished ? QStringLiteral("finished") : QStringLiteral("failed"),
            reason,
            finished ? first.file : QString(),
            finished && QFileInfo::exists(first.reportFile) ? first.reportFile : QString(),
            destinationFolder};
}

void Vantrel::droppedFrame() {
    if (!running)
        return;
    odprintf("dropped Frame....restarting");
    tries.history.drops.push_back(preview->capture()->dropLocation());
    if (!tries.budget.takeRestart()) {
        failClip(tr("frames were dropped on every try; gave up after %1 restarts")
                     .arg(tries.budget.restartsAllowed()));
        return;
    }
    tries.history.restarts = tries.budget.restartsUsed();
    const QString restarted =
        tr("restarted %1 of %2").arg(tries.budget.restartsUsed()).arg(tries.budget.restartsAllowed());
    batchRun->log->clipRestarted(nameOf(running->fileName), tries.budget.restartsUsed(),
                                 tries.budget.restartsAllowed(), tr("a frame was dropped"));
    setStatus({running->secondName, running->fileName}, restarted);
    resetTransfer();
    startNextClip();
}

void Vantrel::percentTransferComplete(int percent) {
    if (!running)
        return;
    progressBar->setValue(percent);
    QString text = percent >= 100 ? tr("verifying") : tr("transferring %1 %").arg(percent);
    if (tries.budget.restartsUsed() > 0)
        text +=
            tr(" (restart %1 of %2)").arg(tries.budget.restartsUsed()).arg(tries.budget.restartsAllowed());
    setStatus({running->secondName, running->fileName}, text);
    showRunningStatus(percent);
}

void Vantrel::openFileError(QString fileName) {
    odprintf("Can't Open File %s", fileName.toStdString().c_str());
    if (running)
        failClip(tr("cannot open the output file %1").arg(fileName));
}

void Vantrel::transferFailed(QString reason) {
    if (running)
        failClip(reason);
}

void Vantrel::failClip(const QString &why) {
    const RunningClip clip = *running;
    const int restarts = tries.budget.restartsUsed();
    resetTransfer();
    tries = ClipTries();
    const ClipHookFacts facts = recordFailure(clip, restarts, why);
    if (stopsEveryClip(why))
        endBatch(facts.reason);
    else
        afterClip(keyOf(clip), facts);
}

ClipHookFacts Vantrel::recordFailure(const RunningClip &clip, int restarts, const QString &why) {
    const QString name = nameOf(clip.fileName);
    const ClipKey key = keyOf(clip);
    // With several copies, each not kept failed: for its own reason when it was not written, else for why.
    const std::vector<ClipCopy> &copies = batchRun->outputs.at(key);
    QStringList failures;
    for (size_t k = 0; k < copies.size(); ++k) {
        const auto refused = clip.refused.find(k);
        if (!copies[k].kept)
            failures << copyFailure(copies[k].root, copies.size(),
                                    refused != clip.refused.end() ? refused->second : why);
    }
    const QString reason = copies.size() > 1 ? failures.join("; ") : why;
    batch.clipFailed(name, reason, restarts);
    batchRun->log->clipFailed(name, reason);
    batchRun->ended.insert(key);
    setStatus(key, tr("failed: %1").arg(reason), reason);
    return {name, nameOf(key.first), QStringLiteral("failed"), reason, {}, {}, destinationFolder};
}

void Vantrel::afterClip(const ClipKey &clip, const ClipHookFacts &facts) {
    if (clipDoneCommand->text().trimmed().isEmpty()) {
        startNextClip();
        return;
    }
    batchRun->hookClip = clip;
    hookOwner = facts.reel.isEmpty() ? facts.clip : facts.reel + '/' + facts.clip;
    startStopButton->setText(tr("Stop Transfer"));
    statusLine->setText(tr("Running the command for %1 (when a clip is done)").arg(facts.clip));
    hook->start(clipDoneCommand->text(), clipHookVariables(facts));
}

void Vantrel::hookEnded(const CompletionHook::Result &result) {
    if (!batchRun)
        return;
    const bool forBatch = batchRun->endedWhy.has_value();
    const std::optional<ClipKey> clip = std::exchange(batchRun->hookClip, std::nullopt);
    if (!result.succeeded) {
        const QString who = clip ? nameOf(clip->second) : tr("the batch");
        batch.hookFailed(who, result.problem);
        batchRun->log->hookFailed(who, forBatch ? tr("when the batch is done") : tr("when a clip is done"),
                                  result.problem);
        if (QStandardItem *status = clip ? statusOf(*clip) : nullptr)
            setStatus(
                *clip, tr("%1; its command failed").arg(status->text()),
                tr("%1\nThe command run when a clip is done %2").arg(status->toolTip(), result.problem));
    }
    if (forBatch)
        finishBatch();
    else if (batchRun->stopRequested)
        endBatch(tr("stopped by the user"));
    else
        startNextClip();
}

void Vantrel::failBatch(const SRFileInfo &clip, const QString &reason, const QString &title,
                        const QString &text) {
    const int restarts =
        keyOf(clip) == ClipKey{tries.secondName, tries.fileName} ? tries.budget.restartsUsed() : 0;
    batch.clipFailed(nameOf(clip.fileName), reason, restarts);
    batchRun->log->clipFailed(nameOf(clip.fileName), reason);
    const ClipKey key = keyOf(clip);
    batchRun->ended.insert(key);
    setStatus(key, tr("failed: %1").arg(reason), reason);
    const bool attended = !batchRun->clipStarted;
    endBatch(reason);
    if (attended)
        message(QMessageBox::Critical, title, text, QMessageBox::Abort);
}

// Ticked clips still queued are skipped; queued rows unticked meanwhile were never part of the batch. The
// summary opens only when a clip was started: a batch refused at its first clip has its box instead.
void Vantrel::endBatch(const QString &why) {
    if (!batchRun || batchRun->endedWhy)
        return;
    // The first reason given stands. Clips still checked end first: the batch ends once the lane delivered
    // them (clipChecked).
    if (batchRun->ending.value_or(QString()).isEmpty())
        batchRun->ending = why;
    if (!batchRun->verifying.empty()) {
        waitForChecks();
        return;
    }
    const QString reason = *batchRun->ending;
    for (const auto &[file, item] : rows()) {
        const ClipKey key = keyOf(fileList.files[file]);
        QStandardItem *status = statusOf(key);
        if (!status || status->text() != tr(kQueued))
            continue;
        if (item->checkState() != Qt::Checked) {
            setStatus(key, QString());
            continue;
        }
        const QString reason = tr("the batch ended before it");
        batch.clipSkipped(nameOf(fileList.files[file].fileName), reason);
        batchRun->log->clipSkipped(nameOf(fileList.files[file].fileName), reason);
        setStatus(key, tr("skipped"), reason);
    }
    batch.setEndedEarly(reason);
    batchRun->endedWhy = reason;
    recordHistory();
    if (!batchRun->clipStarted || batchDoneCommand->text().trimmed().isEmpty()) {
        finishBatch();
        return;
    }
    const auto count = [this](BatchReport::Outcome outcome) {
        return int(
            std::count_if(batch.clips().begin(), batch.clips().end(),
                          [outcome](const BatchReport::Clip &clip) { return clip.outcome == outcome; }));
    };
    const int failed = count(BatchReport::Outcome::Failed) + count(BatchReport::Outcome::Stopped);
    const QString status = batchRun->stopRequested           ? QStringLiteral("stopped")
                           : reason.isEmpty() && failed == 0 ? QStringLiteral("finished")
                                                             : QStringLiteral("failed");
    hookOwner = QStringLiteral("batch");
    startStopButton->setText(tr("Stop Transfer"));
    statusLine->setText(tr("Running the command for the batch (when the batch is done)"));
    hook->start(batchDoneCommand->text(),
                batchHookVariables({status, batch.finishedCount(), count(BatchReport::Outcome::Skipped),
                                    failed, destinationFolder}));
}

void Vantrel::recordHistory() {
    for (const std::unique_ptr<RunHistory> &history : batchRun->histories) {
        if (const std::optional<QString> problem = history->record())
            batch.hashListFailed(*problem);
        else if (!history->manifest().isEmpty())
            batch.addHashList(history->manifest());
    }
    batchRun->histories.clear();
}

void Vantrel::finishBatch() {
    const QString why = batchRun->endedWhy.value_or(QString());
    batchRun->log->batchEnded(batch.finishedCount(), int(batch.clips().size()), why);
    const bool showSummary = batchRun->clipStarted;
    batchRun.reset();
    startStopButton->setText(tr("Start Transfer"));
    const BatchReport report = batch;
    batch = BatchReport();
    statusLine->setText(report.isEmpty() ? QString() : report.summary());
    if (showSummary)
        dialogs->batchSummary(this, report, destinationFolder);
}

// Unique connections: a start after "Invalid Input" reuses the capture object and connects again.
void Vantrel::connectTransferSignals() {
    QIROSRTransfer *capture = preview->capture();
    if (!capture)
        return;
    connect(capture, &QIROSRTransfer::transferCompleteSignal, this, &Vantrel::transferComplete,
            Qt::UniqueConnection);
    connect(capture, &QIROSRTransfer::transferWrittenSignal, this, &Vantrel::transferWritten,
            Qt::UniqueConnection);
    connect(capture, &QIROSRTransfer::droppedFrameSignal, this, &Vantrel::droppedFrame, Qt::UniqueConnection);
    connect(capture, &QIROSRTransfer::percentTransferCompleteSignal, this, &Vantrel::percentTransferComplete,
            Qt::UniqueConnection);
    connect(capture, &QIROSRTransfer::openFileErrorSignal, this, &Vantrel::openFileError,
            Qt::UniqueConnection);
    connect(capture, &QIROSRTransfer::transferFailedSignal, this, &Vantrel::transferFailed,
            Qt::UniqueConnection);
}

void Vantrel::disconnectTransferSignals() {
    if (QIROSRTransfer *capture = preview->capture())
        capture->disconnect(this);
}

// A cancelled chooser keeps the folder chosen before.
void Vantrel::chooseDestinationFolder() {
    const QString chosen = dialogs->existingDirectory(this, tr("Open Directory"), destinationFolder);
    if (chosen.isEmpty())
        return;
    destinationFolder = chosen;
    updateFolderLabel();
}

// Starts at the destination folder; a cancelled chooser adds nothing.
void Vantrel::addDestinationFolder() {
    furtherFolders->add(dialogs->existingDirectory(this, tr("Add Destination Folder"), destinationFolder));
}

void Vantrel::updateFolderLabel() {
    if (!destinationFolder.isEmpty())
        folderLabel->setText(QString("<h4> <font color=#2494bc ><u>%1%2</u></br> </font></h4>")
                                 .arg("Current Folder: ", destinationFolder.toHtmlEscaped()));
    else
        folderLabel->setText(QString("<h4> <font color=red>%1</br> </font></h4>").arg("No Folder Selected"));
}
