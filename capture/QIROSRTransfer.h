#pragma once

// QIROSRTransfer: the capture object of one file transfer. It owns a capture board (opened and held for
// exclusive use at construction), the recorder's control line, the ring of 18 payload blocks and the
// writer thread. Its run() is the capture thread: it tells the recorder which clip to play, sets the card
// up for ring DMA, starts the writer, waits for the picture that begins the first payload block, and
// de-embeds every following pair of pictures into a ring slot for the writer. A picture the card drops,
// or fails to transfer, ends the transfer with droppedFrameSignal() once the writer has ended; a picture
// lost after a stop, or after the writer had every frame, is not signalled. So does a picture that arrives
// with a length other than its compression quality's frame size (the writer signals it): it is not written.
// A short last picture of the clip that the writer takes for the first part of a frame cut at its block's
// end is found so once the stall limit passes without the block of its rest.
//
// The writer thread (MXFWriterThread) starts the recorder's play-out, opens the output file, drains the
// ring through a FrameAssembler, hands every frame to the MXF library through the transfer source and,
// every previewInterval frames, to the preview decoder. The file is finished only when every frame of the
// clip was written; then transferCompleteSignal() follows.
//
// A transfer that cannot go on ends with exactly one report: transferCompleteSignal() (finished file),
// droppedFrameSignal() (restart it), openFileErrorSignal(path) (the output file could not be opened) or
// transferFailedSignal(reason) (anything else: a full disk, with a reason that begins "disk full" and the
// in-progress file removed; every copy failing (with further copies, see below); a recorder that does not
// confirm the select or the start of its play-out, or whose first frame's time code is not the clip's start
// time code (it plays another clip); no readable payload block within the cue limit once play-out was asked
// for, or none within the stall limit after an earlier one, a frame split across blocks that does not add up,
// an MXF library failure, an unknown compression quality, a clip without frames or an empty destination; with
// setStrict, a frame whose sound arrived short). A stop asked for by the owner ends it without a report.
//
// Sound that arrives short of its frame's samples is padded with silence; each such frame and channel is
// listed in the transfer report's damagedFrames, and framesWithShortSound() counts the frames.
//
// The file is written under its in-progress name (OutputPath::partFile) and renamed to its final name only
// once it is finished and synced to disk, file and folder: a transfer that fails, stops or dies leaves at
// most its in-progress file, never a file under the final name. Before the rename the file is read back and
// every frame compared with the checksums of what was handed to the library (setVerification); a file that
// differs fails the transfer and keeps its in-progress name. A preview-only transfer opens, creates,
// truncates and removes no file or folder.
//
// Further copies (setFurtherOutputPaths): the writer writes the same bytes to every copy from the one
// play-out, each through its own in-progress file, direct writes and read-back, and each copy is checked
// and committed with its own companions (see delivery/CopyDelivery.h). A copy that fails (it cannot be
// opened, its disk is full, its folder vanished, its read-back differs) fails alone: the transfer completes
// while one copy is committed, and copyOutcomes() tells how each ended. Only when every copy fails does the
// transfer fail (openFileErrorSignal when none could be opened).
//
// Checks beside the next clip (setHandOverChecks): the writer does not check and commit the written copies
// itself but keeps them, closed under their in-progress names, for takeWrittenClip(), and ends the transfer
// with transferWrittenSignal() instead of transferCompleteSignal(); the owner hands them to a DeliveryLane
// (delivery/DeliveryLane.h) and may start the next clip at once.
//
// Lifecycle: construct on the GUI thread, check boardAcquired(), setTransfer(), start(); delete at any
// moment: the destructor stops both threads (within about 100 ms plus one recorder command, plus the sync or
// rename of a finished file under way, which may take long on a slow disk), stops the recorder's play-out
// and gives the board back. It may be deleted on another thread once it has no parent and no thread
// affinity (moveToThread(nullptr)); it holds the board until then.
//
// Signals, in this order: newFrameSignal (writer thread, from the preview decoder), transferWarningSignal
// and transferCompleteSignal or transferWrittenSignal (writer thread), droppedFrameSignal (capture thread),
// percentTransferCompleteSignal (writer thread), openFileErrorSignal (writer thread), transferFailedSignal
// (either thread). Receivers in another thread get them queued. When the object was made with a parent, the
// decoder's images also reach that object's updateFrame(QImage,bool) slot, even after the object was given
// another parent or none (its owner may hand it over while it ends): that object must outlive it.

#include "capture/BufferPool.h"
#include "capture/FrameAssembler.h"
#include "card/CWyrnCard.h"
#include "delivery/ClipDelivery.h"
#include "mxf/OutputPath.h"
#include "recorder/QIROSRTransferDevice.h"
#include "recorder/SRFileInfo.h"
#include "ring/CircularBuffer.h"
#include "verify/FileDigest.h"
#include "verify/FileVerification.h"
#include "verify/TransferReport.h"

#include <QImage>
#include <QString>
#include <QThread>
#include <array>
#include <atomic>
#include <boost/shared_ptr.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>

// The tries of a clip before this one: restarts after dropped pictures, and where each drop came.
struct TransferHistory {
    int restarts = 0;
    std::vector<DroppedPicture> drops;
};

// One slot of the capture ring: a payload block and its size.
struct QIROAVDataBuffer {
    uint8_t *buffer = nullptr;
    uint32_t size = 0;
};

class WriteMXFFileThread;
class QIROSRTransferSource;
class SMDKDriver;
class QIROSRDecoder;
struct IdentificationRecord;

class QIROSRTransfer : public QThread {
    Q_OBJECT

public:
    // The capture thread's name, as tools that list threads show it.
    static constexpr char kCaptureThreadName[] = "vtrl-capture";
    static constexpr size_t kRingSlots = 18;
    // Two captured pictures, room for two 10-bit ones.
    static constexpr uint32_t kStagingBytes = 11'059'200;
    // Ring-DMA channel of the capture.
    static constexpr uint32_t kCrosspoint = 2;

    // Without a first payload block for this long once play-out was asked for (the recorder cues the clip
    // meanwhile), the transfer fails.
    static constexpr std::chrono::milliseconds kDefaultCueLimit{30000};
    // Without a further payload block for this long once blocks flow, the transfer fails.
    static constexpr std::chrono::milliseconds kDefaultStallLimit{5000};
    // Transfer modes.
    static constexpr int kModeWithPreview = 0;
    static constexpr int kModeWithoutPreview = 1;
    static constexpr int kModePreviewOnly = 2;

    // Called on the writer thread with every frame the writer reads, in order.
    using FrameObserver = std::function<void(const AssembledFrame &)>;
    // Makes the transfer source the writer hands frames to (the writer then initialises it).
    using SourceFactory = std::function<boost::shared_ptr<QIROSRTransferSource>(const IdentificationRecord &,
                                                                                const SRFileInfo &)>;
    // Opens the in-progress file for writing: a file descriptor positioned at 0, or -1.
    using OutputOpener = std::function<int(const QString &partFile)>;
    // The one read-back of a finished file before it gets its final name (see verify/FileVerification.h's
    // readBack), given up when `stop` is requested.
    using FileReadBack =
        std::function<ReadBackResult(const QString &file, const std::vector<FrameChecksum> *expected,
                                     std::stop_token stop, bool direct, bool md5)>;

    // Opens board boardNumber of the board scan; once it holds the board, opens the recorder's control
    // line and stops any play-out. boardAcquired() tells whether the board is open and held; delete the
    // object when it is not: it never touches the card or the line of whoever holds the board.
    QIROSRTransfer(uint16_t boardNumber, int portIndex, QObject *parent = nullptr);
    // Stops both threads, stops the play-out, closes the control line and gives the board back.
    ~QIROSRTransfer() override;

    bool boardAcquired() const { return acquired; }
    // The card this object holds, for a look at its input before start(); not while the thread runs.
    CWyrnCard &captureCard() { return card; }

    // The transfer to run: the clip, the destination folder, the mode (0 file and preview, 1 file only,
    // 2 preview only; another value keeps the previous file and preview choice) and the port index. Call
    // before start(), not while the thread runs.
    void setTransfer(const SRFileInfo &clip, const std::string &destination, int mode, int portIndex);
    // Where the transfer writes its file (names made safe, see OutputPath.h); none for an empty destination.
    // With further copies: the first copy.
    const std::optional<OutputPath> &outputPath() const { return output; }
    // Replaces the path setTransfer gave (destination/folder/name.mxf) with one a naming template gave.
    // Call after setTransfer(), before start().
    void setOutputPath(OutputPath path) { output = std::move(path); }
    // Copies of the file beside outputPath()'s, written from the same play-out: up to kMostCopies in all,
    // each at a path of its own. Call before start().
    void setFurtherOutputPaths(std::vector<OutputPath> paths) { furtherOutputs = std::move(paths); }
    static constexpr size_t kMostCopies = 4;
    // How each copy ended, outputPath()'s first (see delivery/CopyDelivery.h). Read it after
    // transferCompleteSignal.
    std::vector<DeliveredCopy> copyOutcomes() const;
    // Call before start(), not while the thread runs.
    void setFrameObserver(FrameObserver frameObserver);
    // Replaces the transfer source the writer makes (tests watch the writer through it). Call before start().
    void setSourceFactory(SourceFactory factory);
    // Replaces how each copy's in-progress file is opened (tests hand in a device that fails). Call before
    // start().
    void setOutputOpener(OutputOpener opener) { outputOpener = std::move(opener); }
    // Call before start().
    void setStallLimit(std::chrono::milliseconds limit) { stallLimit = limit; }
    // Call before start().
    void setCueLimit(std::chrono::milliseconds limit) { cueLimit = limit; }
    // Whether a finished file is read back and compared with what was written before it gets its final
    // name (on unless switched off). Call before start().
    void setVerification(bool on) { verification = on; }
    // Replaces the read-back of a finished file (tests watch it). Call before start().
    void setFileReadBack(FileReadBack check) { fileReadBack = std::move(check); }
    // Whether a frame whose sound arrived short fails the transfer rather than being padded with silence
    // (off unless switched on). Call before start().
    void setStrict(bool on) { strict = on; }
    // Frames of the finished file whose sound arrived short and was padded. Read it after
    // transferCompleteSignal.
    uint64_t framesWithShortSound() const { return shortSoundFrames.load(); }
    // The sound check of the finished file, by channel (see verify/SoundLevels.h); the report holds it as
    // "sound". Read it after transferCompleteSignal.
    std::vector<ChannelLevels> soundLevels() const;
    // Whether a finished file also gets NAME.framemd5 (OutputPath::frameMd5File), the MD5 of each of its
    // essence elements as FFmpeg's framemd5 lists them (off unless switched on). Call before start().
    void setFrameMd5(bool on) { frameMd5 = on; }
    // Whether the read-back also takes the finished file's MD5, for a hash list (off unless switched on).
    // Call before start().
    void setMd5(bool on) { md5 = on; }
    // Whether each copy is delivered as a BagIt bag (see delivery/BagLayout.h); nothing: as a file with its
    // companions (the default). Call before start().
    void setBag(std::optional<BagSettings> settings) { bag = std::move(settings); }
    // Whether the written copies are handed over unchecked (see the class comment; off unless switched on).
    // Call before start().
    void setHandOverChecks(bool on) { handOverChecks = on; }
    // The written clip, once after transferWrittenSignal; nothing before or after.
    std::optional<PendingDelivery> takeWrittenClip();
    // The whole-file digests of the first committed copy from its read-back (MD5 only with setMd5). Read it
    // after transferCompleteSignal.
    FileDigests fileDigests() const;
    // The operator's metadata of the clip: written into the file as the material package's user comments
    // and into the report. Names unique, values without control characters (see batch/UserMetadata.h).
    // Call before start().
    void setUserMetadata(MetadataPairs pairs) { userMetadata = std::move(pairs); }
    // The earlier tries of this clip, for the transfer report. Call before start().
    void setTransferHistory(TransferHistory earlier) { history = std::move(earlier); }
    // The operator the report's events name as an agent; empty: none. Call before start().
    void setOperatorName(const QString &name) { operatorName = name; }
    // Where the writer stood when a picture was dropped: the frames handed to the library, the lead-in
    // time code of the last, and the cause. Read it after droppedFrameSignal.
    DroppedPicture dropLocation() const;

    // Tells the recorder to start its play-out; the writer calls it once it is ready for frames. False when
    // the recorder did not reply that it plays.
    bool startPlayback();
    // Asks both threads to end; safe from any thread. A finished file still being read back is given up: it
    // keeps its in-progress name, and nothing is reported.
    void requestStop() {
        stopFlag.store(1);
        checksAbandoned.request_stop();
    }

    // The writer routine, run on the writer thread: drains the ring, reports progress and completion.
    void MXFWriterThread();

    // Pictures the capture thread took from the card in this transfer. Safe from any thread.
    uint64_t picturesCaptured() const { return pictures.load(); }

signals:
    void newFrameSignal(QImage image, bool clear);
    void transferCompleteSignal();
    // Every frame is written and every copy closed: the clip waits for its checks (see setHandOverChecks).
    void transferWrittenSignal();
    // Just before transferCompleteSignal, when the file is finished but something about it needs the
    // user's eye (the folder could not be synced after its last rename, a further copy failed).
    void transferWarningSignal(QString warning);
    void droppedFrameSignal();
    void percentTransferCompleteSignal(int percent);
    void openFileErrorSignal(QString fileName);
    void transferFailedSignal(QString reason);

protected:
    void run() override;

private:
    void OpenBoard();
    void capture();
    void captureLoop(uint8_t *staging);
    bool dmaPicture(uint8_t *into);
    void endOnLostPicture();
    AUTOCIRCULATE_STATUS_STRUCT dmaStatus();
    // Restarts the stall clock: the writer read a payload block.
    void noteProgress();
    bool stalled() const;
    // True for the first report of the transfer (completion, drop or failure) only.
    bool claimReport();
    void failTransfer(const QString &reason);
    uint32_t samplesInFrame(uint64_t position) const;

    // The writer routine's parts (MXFWriterRoutine.cpp).
    struct WriterSession;
    void writeClip();
    bool openOutput(WriterSession &session);
    bool openCopies(WriterSession &session);
    void handOnFrame(const AssembledFrame &frame, WriterSession &session);
    void endOutput(WriterSession &session, const FrameAssembler &assembler);
    void padShortSound(const AssembledFrame &frame, uint32_t channel, uint32_t bytes, WriterSession &session);
    PendingDelivery pendingDelivery(WriterSession &session);
    std::optional<QString> commitOutput(WriterSession &session);
    std::optional<QString> copyWriteProblem(WriterSession &session, size_t copy) const;
    QString writeFailure(WriterSession &session, const QString &fallback);

    // The parent given at construction: the writer thread connects the decoder's images to it, and never
    // reads parent(), which the GUI thread may change meanwhile.
    QObject *const imageReceiver;
    std::unique_ptr<QIROSRTransferDevice> device;
    int portIndex;
    // Non-zero ends the capture thread, the writer and every wait of the ring.
    std::atomic<int32_t> stopFlag{0};
    // Requested only from outside the writer (requestStop, the destructor): the writer also sets stopFlag
    // itself once the last frame is in, and must then still check and commit the file.
    std::stop_source checksAbandoned;
    CWyrnCard card;
    uint16_t boardNumber;
    bool acquired = false;
    uint32_t savedFrameServices = 0;
    uint32_t crosspoint = kCrosspoint;
    uint32_t videoFormat = 0;
    uint32_t frameBufferFormat = card::kFrameBufferFormat8Bit422;
    AUTOCIRCULATE_TRANSFER_STRUCT transfer;
    AUTOCIRCULATE_TRANSFER_STATUS_STRUCT transferStatus;
    std::array<QIROAVDataBuffer, kRingSlots> ringSlots;
    // Taken from the process's buffer pool by the first transfer and kept for the next ones.
    std::array<bufferpool::Buffer, kRingSlots> slotMemory;
    bufferpool::Buffer stagingMemory;
    CQIROCircularBuffer<QIROAVDataBuffer *> captureRing;

    // Transfer parameters and writer state.
    int mode = kModeWithPreview;
    std::string destination;
    std::optional<OutputPath> output;
    std::vector<OutputPath> furtherOutputs;
    SRFileInfo clip;
    uint64_t framesWritten = 0;
    int32_t previewInterval = 1;
    bool previewEnabled = true;
    bool writeFile = true;
    FrameObserver observer;
    SourceFactory sourceFactory;
    OutputOpener outputOpener;
    std::chrono::milliseconds stallLimit = kDefaultStallLimit;
    std::chrono::milliseconds cueLimit = kDefaultCueLimit;
    bool verification = true;
    bool frameMd5 = false;
    bool md5 = false;
    std::optional<BagSettings> bag;
    bool handOverChecks = false;
    bool strict = false;
    FileReadBack fileReadBack = readBack;
    TransferHistory history;
    QString operatorName;
    QString boardName; // the identifier of the board this object holds
    MetadataPairs userMetadata;
    std::atomic<uint64_t> shortSoundFrames{0};
    // What the writer found out about the finished file, for the front end to read once it is complete.
    mutable std::mutex finishedLock;
    std::vector<ChannelLevels> soundResult;
    std::vector<DeliveredCopy> copyResults;
    std::optional<PendingDelivery> writtenClip;
    // Why the writer ended the transfer as a drop (a damaged picture); empty for a picture the card lost.
    mutable std::mutex dropCauseLock;
    QString dropCause;
    // Frames handed on (high 32 bits) and the last one's lead-in time code (low 32 bits).
    std::atomic<uint64_t> lastFrameHandedOn{0};
    // Steady-clock nanoseconds of the play-out request, then of the last block the writer read; 0 before
    // play-out.
    std::atomic<int64_t> lastProgressAt{0};
    // Set by the play-out request, cleared by the first block the writer reads: the cue limit applies.
    std::atomic<bool> cueing{false};
    // The writer's word to the capture thread's stall check, after each block it reads: kLastFrameCut
    // while its assembler holds the first part of the clip's last frame. At the stall limit the capture
    // thread makes that kCutFrameStalled and ends the transfer, which the writer then ends on that part as
    // a wrong picture (a drop) rather than a stall.
    enum CutLastFrame : int { kNoCutFrame, kLastFrameCut, kCutFrameStalled };
    std::atomic<int> cutLastFrame{kNoCutFrame};
    // Set once a report ended the transfer, so that a later drop or stall is not reported too.
    std::atomic<bool> reported{false};

    std::unique_ptr<WriteMXFFileThread> writer;
    std::atomic<uint64_t> pictures{0};
    // The capture thread ended the transfer for a lost picture.
    bool pictureLost = false;
    // Set as run()'s last act and read after wait(), so that the destructor sees what the thread wrote.
    std::atomic<bool> runFinished{false};
};
