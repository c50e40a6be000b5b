#include "capture/QIROSRTransfer.h"

#include "capture/PayloadExtraction.h"
#include "capture/PayloadFormat.h"
#include "capture/WriteMXFFileThread.h"
#include "mxf/SMDKTypes.h"
#include "recorder/SoundFormat.h"
#include "source/SampleCadence.h"
#include "threads/ThreadName.h"

#include <QCoreApplication>
#include <exception>
#include <utility>

namespace {

// Card set-up of the transfer: registers (number, value, mask, shift) and crosspoint selections.
constexpr uint32_t kControlRegister = 1;
constexpr uint32_t kSecondControlRegister = 5;
constexpr uint32_t kBit7Mask = 0x80, kBit7Shift = 7;
constexpr uint32_t kBit28Mask = 0x1000'0000, kBit28Shift = 28;
constexpr uint32_t kSdiInput1 = 1;
constexpr uint32_t kFrameBuffer1 = 30;
constexpr uint32_t kReferenceInput = 1;
constexpr uint32_t kCaptureChannel = 1;
constexpr uint32_t kModeDisplay = 0, kModeCapture = 1;
// Ring DMA over the card's 16 picture buffers, one channel, no sound system.
constexpr uint32_t kRingStartBuffer = 0;
constexpr uint32_t kTransferSoundChannels = 16;
constexpr uint32_t kFrameRepeatCount = 1;
constexpr uint32_t kNextPictureInOrder = uint32_t(-1);
// A pair is taken only when more than this many pictures wait on the card.
constexpr uint32_t kLevelBeforeAPair = 2;
// Longest wait for the card's next picture before the loop looks at the stop flag and the status again.
constexpr uint32_t kVerticalWaitMilliseconds = 20;

int64_t processId() {
    return QCoreApplication::applicationPid();
}

int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

QIROSRTransfer::QIROSRTransfer(uint16_t boardNumber, int portIndex, QObject *parent)
    : QThread(parent), imageReceiver(parent), portIndex(portIndex), boardNumber(boardNumber) {
    OpenBoard();
    // The recorder's line is the board's own UART: an object refused the board must leave it alone, or it
    // would stop the play-out of the transfer that holds the board and switch its line off.
    if (!acquired)
        return;
    device = std::make_unique<QIROSRTransferDevice>();
    device->open(portIndex);
    device->stopPlayback();
}

QIROSRTransfer::~QIROSRTransfer() {
    requestStop();
    wait();
    runFinished.load(std::memory_order_acquire);
    for (auto &memory : slotMemory)
        memory.reset();
    if (device) {
        device->stopPlayback();
        device->close();
        device.reset();
    }
    // Only a board this object holds is set back: a board held by another application is left alone.
    if (card.BoardOpened() && acquired) {
        card.WriteRegister(kControlRegister, 0, kBit28Mask, kBit28Shift);
        card.SetEveryFrameServices(savedFrameServices);
        card.ReleaseStreamForApplication(card::kVantrelApplicationCode, processId());
    }
    card.Close();
}

void QIROSRTransfer::OpenBoard() {
    const CWyrnBoardScan scan(true, card::kBoardType);
    OurBoardInfo info;
    if (!scan.GetBoardInfo(boardNumber, info) || !card.Open(info.boardNumber, false, info.boardType) ||
        !card.BoardOpened())
        return;
    if (!card.AcquireStreamForApplication(card::kVantrelApplicationCode, processId()))
        return;
    acquired = true;
    boardName = QString::fromStdString(info.boardIdentifier);
    card.GetEveryFrameServices(&savedFrameServices);
    card.SetEveryFrameServices(0);
    card.GetVideoFormat(&videoFormat);
    if (videoFormat != card::kVideoFormat1080)
        card.SetVideoFormat(card::kVideoFormat1080, false);
    card.SetReferenceSource(kReferenceInput, false);
    card.SetFrameBufferFormat(1, frameBufferFormat, false);
    card.SetFrameBufferFormat(2, frameBufferFormat, false);
    card.WriteRegister(kControlRegister, 0, kBit7Mask, kBit7Shift);
    card.WriteRegister(kControlRegister, 1, kBit28Mask, kBit28Shift);
    card.WriteRegister(kSecondControlRegister, 0, kBit7Mask, kBit7Shift);
    card.SetQ9Xpt2FrameBuffer1InputSelect(kSdiInput1);
    card.SetQ9Xpt3SDIOut1InputSelect(kSdiInput1);
    card.SetQ9Xpt5FrameBuffer2InputSelect(kFrameBuffer1);
    card.SetQ9Xpt10SDIOut1DS2InputSelect(kFrameBuffer1);
    card.SubscribeOutputVerticalEvent();
}

void QIROSRTransfer::setTransfer(const SRFileInfo &clipInfo, const std::string &destinationFolder,
                                 int transferMode, int port) {
    clip = clipInfo;
    destination = destinationFolder;
    output = outputPathFor(QString::fromStdString(destination), clip.secondName, clip.fileName);
    mode = transferMode;
    portIndex = port;
    reported.store(false);
    lastFrameHandedOn.store(0);
    shortSoundFrames.store(0);
    {
        const std::lock_guard guard(dropCauseLock);
        dropCause.clear();
    }
    {
        const std::lock_guard guard(finishedLock);
        soundResult.clear();
        copyResults.clear();
    }
    lastProgressAt.store(0);
    cueing.store(false);
    cutLastFrame.store(kNoCutFrame);
    // Cleared here rather than in run(), so that a stop asked for between start() and run() is kept.
    stopFlag.store(0);
    checksAbandoned = std::stop_source();
}

DroppedPicture QIROSRTransfer::dropLocation() const {
    const uint64_t last = lastFrameHandedOn.load();
    DroppedPicture drop;
    drop.frame = last >> 32;
    if (drop.frame > 0)
        drop.timeCode = timecodeText(uint32_t(last), clip.dropFrame != 0);
    const std::lock_guard guard(dropCauseLock);
    drop.cause = dropCause.isEmpty() ? QString("a picture was lost on the capture card") : dropCause;
    drop.at = QDateTime::currentDateTimeUtc();
    return drop;
}

std::vector<ChannelLevels> QIROSRTransfer::soundLevels() const {
    const std::lock_guard guard(finishedLock);
    return soundResult;
}

FileDigests QIROSRTransfer::fileDigests() const {
    const std::lock_guard guard(finishedLock);
    return firstCommittedDigests(copyResults);
}

std::optional<PendingDelivery> QIROSRTransfer::takeWrittenClip() {
    const std::lock_guard guard(finishedLock);
    return std::exchange(writtenClip, std::nullopt);
}

std::vector<DeliveredCopy> QIROSRTransfer::copyOutcomes() const {
    const std::lock_guard guard(finishedLock);
    return copyResults;
}

void QIROSRTransfer::setFrameObserver(FrameObserver frameObserver) {
    observer = std::move(frameObserver);
}

void QIROSRTransfer::setSourceFactory(SourceFactory factory) {
    sourceFactory = std::move(factory);
}

bool QIROSRTransfer::startPlayback() {
    cueing.store(true);
    lastProgressAt.store(steadyNow());
    return device && device->startPlayback() == 1;
}

void QIROSRTransfer::noteProgress() {
    lastProgressAt.store(steadyNow());
    cueing.store(false);
}

bool QIROSRTransfer::claimReport() {
    return !reported.exchange(true);
}

void QIROSRTransfer::failTransfer(const QString &reason) {
    odprintf("transfer failed: %s", reason.toUtf8().constData());
    if (claimReport())
        emit transferFailedSignal(reason);
    stopFlag.store(1);
}

// True once play-out was asked for and the writer has read no first payload block for longer than the cue
// limit, or no further one for longer than the stall limit.
bool QIROSRTransfer::stalled() const {
    const int64_t since = lastProgressAt.load();
    const auto limit = cueing.load() ? cueLimit : stallLimit;
    return since != 0 && steadyNow() - since > std::chrono::nanoseconds(limit).count();
}

void QIROSRTransfer::run() {
    const ThreadName name(kCaptureThreadName);
    // Without the board, the card and the recorder belong to whoever holds it.
    if (!acquired) {
        runFinished.store(true, std::memory_order_release);
        return;
    }
    pictureLost = false;
    try {
        capture();
    } catch (const std::exception &error) {
        failTransfer(QString("the capture failed: %1").arg(error.what()));
    } catch (...) {
        failTransfer("the capture failed");
    }
    // Whatever ended the capture, the writer must not wait for blocks that will not come.
    stopFlag.store(1);
    if (writer) {
        writer->wait();
        writer.reset();
    }
    // A picture lost after the writer completed or failed the transfer harms nothing: that was its report.
    if (pictureLost && claimReport())
        emit droppedFrameSignal();
    card.StopAutoCirculate(crosspoint);
    card.SetMode(kCaptureChannel, kModeDisplay, false);
    odprintf("done QIROSRTransfer::Thread");
    runFinished.store(true, std::memory_order_release);
}

// Sets up the recorder, the ring and the card, starts the writer and captures until stopped.
void QIROSRTransfer::capture() {
    pictures.store(0);
    if (!stagingMemory)
        stagingMemory = bufferpool::take(kStagingBytes);
    setPriority(QThread::TimeCriticalPriority);

    device->stopPlayback();
    if (device->selectFile(clip.fileName) != 1) {
        failTransfer(QString("the recorder did not select %1: it has no clip of that name, or did not answer")
                         .arg(QString::fromStdString(clip.fileName)));
        return;
    }

    captureRing.AttachStopFlag(&stopFlag);
    for (size_t i = 0; i < kRingSlots; ++i) {
        if (!slotMemory[i])
            slotMemory[i] = bufferpool::take(payload::kBlockSize);
        ringSlots[i] = {slotMemory[i].get(), payload::kBlockSize};
        captureRing.AddSlot(&ringSlots[i]);
    }

    card.StopAutoCirculate(kCrosspoint);
    card.SetMode(kCaptureChannel, kModeDisplay, false);
    transfer = AUTOCIRCULATE_TRANSFER_STRUCT{};
    crosspoint = kCrosspoint;
    transfer.channelSpec = crosspoint;
    transfer.audioNumChannels = kTransferSoundChannels;
    transfer.frameRepeatCount = kFrameRepeatCount;
    transfer.desiredFrame = kNextPictureInOrder;
    transfer.disableExtraAudioInfo = 1;
    transfer.frameBufferFormat = frameBufferFormat;
    card.InitAutoCirculate(crosspoint, kRingStartBuffer, card::kCardPictureBuffers, 1, 0);

    writer = std::make_unique<WriteMXFFileThread>(this);
    writer->start(QThread::InheritPriority);

    card.SetMode(kCaptureChannel, kModeCapture, false);
    card.StartAutoCirculate(crosspoint);

    captureLoop(stagingMemory.get());
}

AUTOCIRCULATE_STATUS_STRUCT QIROSRTransfer::dmaStatus() {
    AUTOCIRCULATE_STATUS_STRUCT status;
    card.GetAutoCirculate(crosspoint, &status);
    return status;
}

bool QIROSRTransfer::dmaPicture(uint8_t *into) {
    transfer.videoBuffer = into;
    transfer.videoBufferSize = card::kPictureBytes8Bit;
    transfer.audioBuffer = nullptr;
    transfer.audioBufferSize = 0;
    const bool done = card.TransferWithAutoCirculate(&transfer, &transferStatus);
    if (done)
        pictures.fetch_add(1);
    return done;
}

// Takes pairs of pictures into ring slots until stopped. Before the first payload block every picture
// is tested and discarded; a picture the card dropped, or failed to transfer, ends the transfer. So does a
// recorder whose play-out gives the writer no readable payload block for longer than the stall limit once
// play-out was asked for (no pictures at all, or pictures that carry no block), unless the writer waits for
// the rest of the clip's last frame: that ends as a wrong picture. Until the card holds enough
// pictures the thread sleeps until the card's next picture (its vertical event), never longer than
// kVerticalWaitMilliseconds.
void QIROSRTransfer::captureLoop(uint8_t *staging) {
    const auto stallEnds = [this] {
        if (!stalled())
            return false;
        // The clip's last picture arrived short and waits as the first part of a cut frame: the writer ends
        // on it as a wrong picture.
        if (int cut = kLastFrameCut; cutLastFrame.compare_exchange_strong(cut, kCutFrameStalled)) {
            stopFlag.store(1);
            return true;
        }
        if (cueing.load())
            failTransfer(QString("cue timeout: the recorder's play-out gave no payload block within %1 s: it "
                                 "never started, or the card delivers no pictures")
                             .arg(double(cueLimit.count()) / 1000.0));
        else
            failTransfer(QString("no payload block from the recorder for %1 s: it stopped playing, or the "
                                 "card delivers no pictures")
                             .arg(double(stallLimit.count()) / 1000.0));
        return true;
    };
    bool firstBlockPending = true;
    while (stopFlag.load() == 0 && !stallEnds()) {
        AUTOCIRCULATE_STATUS_STRUCT status = dmaStatus();
        if (status.state != card::kAutoCirculateRunning || status.bufferLevel <= kLevelBeforeAPair) {
            card.WaitForOutputVerticalEvent(kVerticalWaitMilliseconds);
            continue;
        }
        QIROAVDataBuffer *slot = captureRing.BeginProduce();
        if (slot == nullptr)
            break;
        const bool checkedBefore = !firstBlockPending;
        while (firstBlockPending) {
            odprintf("Transfering %d", int(dmaPicture(staging)));
            if (IsValidFrame(staging, true)) {
                firstBlockPending = false;
                break;
            }
            while (stopFlag.load() == 0) {
                status = dmaStatus();
                if (status.framesDropped > 0) {
                    // Reported like any other drop: the front end restarts the clip instead of waiting.
                    odprintf("frame dropped while waiting");
                    endOnLostPicture();
                }
                // The stall limit is checked first: a capture slower than the card always finds two
                // pictures waiting, and a recorder that never plays must still end the transfer.
                if (stallEnds() || status.bufferLevel >= 2)
                    break;
                card.WaitForOutputVerticalEvent(kVerticalWaitMilliseconds);
            }
            if (stopFlag.load() != 0)
                break;
        }
        bool pairTaken = true;
        if (checkedBefore)
            pairTaken = dmaPicture(staging);
        pairTaken = dmaPicture(staging + card::kPictureBytes8Bit) && pairTaken;
        ExtractPayload(slot->buffer, staging, staging + card::kBytesPerLine8Bit, true);
        // A picture the card failed to hand over is lost like a dropped one: the staging buffer still
        // holds an older picture, so the block would be a broken mix.
        if (!pairTaken || dmaStatus().framesDropped > 0)
            endOnLostPicture(); // the slot stays taken: the writer never reads the broken block
        else
            captureRing.EndProduce();
    }
}

// Ends the transfer for a lost picture, unless it is ending already: after a stop, or once the writer has
// read the last block, a lost picture means nothing. run() signals the drop once the writer has ended.
void QIROSRTransfer::endOnLostPicture() {
    int32_t running = 0;
    if (stopFlag.compare_exchange_strong(running, 1))
        pictureLost = true;
}

uint32_t QIROSRTransfer::samplesInFrame(uint64_t position) const {
    if (clip.rateNumerator <= 0 || clip.rateDenominator <= 0)
        return 0;
    return soundSamplesInEditUnit(int64_t(position), SMDKRational{clip.rateNumerator, clip.rateDenominator},
                                  SMDKRational{kSoundSamplingRate, 1});
}
