// The window's side of a transfer: start and stop, the checks and message boxes before a clip is handed to
// the capture object, the capture object's reports, the batch of ticked clips and the folder chooser.

#include "app/QIROSRTransferWidget.h"
#include "app/Vantrel.h"
#include "batch/DiskSpace.h"
#include "batch/OutputCollisions.h"
#include "capture/QIROSRTransfer.h"
#include "card/CWyrnCard.h"
#include "ui/QiroComboBox.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace {

constexpr uint16_t kBoardNumber = 0;

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
        if (const auto problem = spaceProblemOfCheckedClips()) {
            message(QMessageBox::Critical, tr("Not Enough Disk Space"), *problem, QMessageBox::Abort);
            return;
        }
        if (const auto problem = outputCollision(checkedClips(), destinationFolder)) {
            message(QMessageBox::Critical, tr("Clips Share a File"), *problem, QMessageBox::Abort);
            return;
        }
        batch = BatchReport();
        finishedFiles = FinishedFileChoice();
        tries = ClipTries();
        startNextClip();
        return;
    }
    const auto answer =
        message(QMessageBox::Question, tr("Stop Transfer Dialog"),
                tr("Would you like to Stop This Transfer?"), QMessageBox::Yes | QMessageBox::No);
    // The transfer may have ended while the question was open.
    if (answer != QMessageBox::Yes || isIdle())
        return;
    batch.clipStopped(QString::fromStdString(running->fileName));
    resetTransfer();
    endBatch();
}

// Why the ticked clips' files do not fit in the destination folder; nothing when they fit, when nothing is
// written (preview only) or when there is no folder yet (the start says so itself).
std::optional<QString> Vantrel::spaceProblemOfCheckedClips() const {
    const int mode = transferModeSelector->currentData(Qt::UserRole).toInt();
    if (mode == QIROSRTransfer::kModePreviewOnly || destinationFolder.isEmpty() ||
        !QDir(destinationFolder).exists())
        return std::nullopt;
    return spaceProblem(checkedClips(), destinationFolder);
}

std::vector<SRFileInfo> Vantrel::checkedClips() const {
    std::vector<SRFileInfo> checked;
    for (const auto &[file, item] : rows())
        if (item->checkState() == Qt::Checked)
            checked.push_back(fileList.files[file]);
    return checked;
}

void Vantrel::startNextClip() {
    const int mode = transferModeSelector->currentData(Qt::UserRole).toInt();
    const std::string folder = destinationFolder.toStdString();
    // An empty folder would put the files relative to the filesystem root.
    if (destinationFolder.isEmpty() || !QDir(destinationFolder).exists()) {
        message(QMessageBox::Critical, tr("Folder Not Found"), tr("Folder Not Found"), QMessageBox::Abort);
        endBatch();
        return;
    }
    const auto table = rows();
    const auto checked = std::find_if(
        table.begin(), table.end(), [](const auto &row) { return row.second->checkState() == Qt::Checked; });
    if (checked == table.end()) {
        endBatch();
        return;
    }
    const SRFileInfo file = fileList.files[checked->first];
    fileTable->selectRow(int(checked - table.begin()));
    // A clip whose finished file is kept is unticked, as if transferred, and the next one starts.
    const auto finalPath = outputPathFor(destinationFolder, file.secondName, file.fileName);
    if (mode != QIROSRTransfer::kModePreviewOnly && finalPath &&
        !finishedFiles.transfers(*dialogs, this, finalPath->file)) {
        checked->second->setCheckState(Qt::Unchecked);
        startNextClip();
        return;
    }
    // A drop restarts the first ticked clip: another one when the running clip was unticked meanwhile.
    if (file.fileName != tries.fileName || file.secondName != tries.secondName)
        tries = ClipTries{file.fileName, file.secondName, RestartBudget(), TransferHistory()};
    const int portIndex = portSelector->currentIndex();
    const QString clipName = QString::fromStdString(file.fileName);
    if (!preview->acquireBoard(kBoardNumber, portIndex)) {
        batch.clipFailed(clipName, tr("the capture board is in use by another application"));
        message(
            QMessageBox::Critical, tr("Board In Use"),
            tr("<p>The QIRO Capture Device is in use by another Application. Quit other application and try "
               "again"),
            QMessageBox::Abort);
        endBatch();
        return;
    }
    connectTransferSignals();
    if (!preview->hasValidInput()) {
        batch.clipFailed(clipName, tr("the capture device has no valid input"));
        message(
            QMessageBox::Critical, tr("Invalid Input"),
            tr("<p>The QIRO Capture Device does not have a valid Input. Make Sure either a Corvel or Pyxen "
               "Capture Device is installed.Make Sure the SRModule Output 1 is Connected to the QIRO Capture "
               "Device Input 1And the SR Module is in Vantrel Mode"),
            QMessageBox::Abort);
        endBatch();
        return;
    }
    preview->capture()->setFrameMd5(frameMd5Box->isChecked());
    preview->capture()->setTransferHistory(tries.history);
    preview->startTransfer(file, folder, mode, portIndex);
    const auto &output = preview->capture()->outputPath();
    running = RunningClip{file.fileName, file.secondName, output ? output->file : QString()};
    startStopButton->setText(tr("Stop Transfer"));
    statusLine->setText(tr("Transferring %1").arg(clipName));
}

void Vantrel::resetTransfer() {
    disconnectTransferSignals();
    preview->stopTransfer();
    running.reset();
    progressBar->setValue(0);
    startStopButton->setText(tr("Start Transfer"));
    showSplash();
}

// Reports that arrive once the window is idle belong to a transfer already stopped, and are dropped.
void Vantrel::transferComplete() {
    if (isIdle())
        return;
    const RunningClip done = *running;
    batch.fileFinished(done.outputFile);
    resetTransfer();
    // The clip just transferred is unticked, wherever its row is now.
    const auto table = rows();
    const auto row = std::find_if(table.begin(), table.end(), [&](const auto &entry) {
        const SRFileInfo &file = fileList.files[entry.first];
        return file.fileName == done.fileName && file.secondName == done.secondName &&
               entry.second->checkState() == Qt::Checked;
    });
    if (row != table.end())
        row->second->setCheckState(Qt::Unchecked);
    tries = ClipTries();
    startNextClip();
}

void Vantrel::droppedFrame() {
    if (isIdle())
        return;
    odprintf("dropped Frame....restarting");
    tries.history.drops.push_back(preview->capture()->dropLocation());
    if (!tries.budget.takeRestart()) {
        failClip(tr("frames were dropped on every try; gave up after %1 restarts")
                     .arg(tries.budget.restartsAllowed()));
        return;
    }
    tries.history.restarts = tries.budget.restartsUsed();
    resetTransfer();
    startNextClip();
}

void Vantrel::percentTransferComplete(int percent) {
    if (!isIdle())
        progressBar->setValue(percent);
}

void Vantrel::openFileError(QString fileName) {
    odprintf("Can't Open File %s", fileName.toStdString().c_str());
    if (!isIdle())
        failClip(tr("cannot open the output file %1").arg(fileName));
}

void Vantrel::transferFailed(QString reason) {
    if (!isIdle())
        failClip(reason);
}

void Vantrel::failClip(const QString &reason) {
    const QString clip = QString::fromStdString(running->fileName);
    resetTransfer();
    batch.clipFailed(clip, reason);
    endBatch();
    message(
        QMessageBox::Critical, tr("Transfer Failed"),
        tr("<p>The clip %1 could not be transferred: %2.").arg(clip.toHtmlEscaped(), reason.toHtmlEscaped()),
        QMessageBox::Abort);
}

// The status line says how the batch ended; an empty batch clears it, so that it never names a clip still
// transferring once the window is idle.
void Vantrel::endBatch() {
    statusLine->setText(batch.isEmpty() ? QString() : batch.summary());
    batch = BatchReport();
}

// Unique connections: a start after "Invalid Input" reuses the capture object and connects again.
void Vantrel::connectTransferSignals() {
    QIROSRTransfer *capture = preview->capture();
    if (!capture)
        return;
    connect(capture, &QIROSRTransfer::transferCompleteSignal, this, &Vantrel::transferComplete,
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

void Vantrel::chooseDestinationFolder() {
    destinationFolder = dialogs->existingDirectory(this, tr("Open Directory"), destinationFolder);
    updateFolderLabel();
}

void Vantrel::updateFolderLabel() {
    if (!destinationFolder.isEmpty())
        folderLabel->setText(QString("<h4> <font color=#2494bc ><u>%1%2</u></br> </font></h4>")
                                 .arg("Current Folder: ", destinationFolder.toHtmlEscaped()));
    else
        folderLabel->setText(QString("<h4> <font color=red>%1</br> </font></h4>").arg("No Folder Selected"));
}
