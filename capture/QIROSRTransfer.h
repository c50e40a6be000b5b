#pragma once

// QIROSRTransfer: the capture object of one file transfer. It owns a capture board (opened and held for
// exclusive use at construction), the recorder's control line, the ring of 18 payload blocks and the
// writer thread. Its run() is the capture thread: it tells the recorder which clip to play, sets the card
// up for ring DMA, starts the writer, waits for the picture that begins the first payload block, and
// de-embeds every following pair of pictures into a ring slot for the writer. A picture the card drops,
// or fails to transfer, ends the transfer with droppedFrameSignal() once the writer has ended; a picture
// lost after a stop, or after the writer had every frame, is not signalled.
//
// Until the MXF writing arrives, the writer thread drains the ring through a FrameAssembler and hands
// every frame to an observer that tests and tools may set.
//
// Lifecycle: construct on the GUI thread, check boardAcquired(), setTransfer(), start(); delete at any
// moment: the destructor stops both threads (within about 100 ms plus one recorder command), stops the
// recorder's play-out and gives the board back.
//
// Signals, in this order: newFrameSignal, transferCompleteSignal (writer thread), droppedFrameSignal
// (capture thread), percentTransferCompleteSignal (writer thread), openFileErrorSignal (writer thread).
// Receivers in another thread get them queued.

#include "capture/FrameAssembler.h"
#include "card/CWyrnCard.h"
#include "recorder/QIROSRTransferDevice.h"
#include "recorder/SRFileInfo.h"
#include "ring/CircularBuffer.h"

#include <QImage>
#include <QString>
#include <QThread>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// One slot of the capture ring: a payload block and its size.
struct QIROAVDataBuffer {
    uint8_t *buffer = nullptr;
    uint32_t size = 0;
};

class WriteMXFFileThread;

class QIROSRTransfer : public QThread {
    Q_OBJECT

public:
    static constexpr size_t kRingSlots = 18;
    // Two captured pictures, room for two 10-bit ones.
    static constexpr uint32_t kStagingBytes = 11'059'200;
    // Ring-DMA channel of the capture.
    static constexpr uint32_t kCrosspoint = 2;

    // Called on the writer thread with every frame the writer reads, in order.
    using FrameObserver = std::function<void(const AssembledFrame &)>;

    // Opens board boardNumber of the board scan; once it holds the board, opens the recorder's control
    // line and stops any play-out. boardAcquired() tells whether the board is open and held; delete the
    // object when it is not: it never touches the card or the line of whoever holds the board.
    QIROSRTransfer(uint16_t boardNumber, int portIndex, QObject *parent = nullptr);
    // Stops both threads, stops the play-out, closes the control line and gives the board back.
    ~QIROSRTransfer() override;

    bool boardAcquired() const { return acquired; }

    // The transfer to run: the clip, the destination folder, the mode (0 file and preview, 1 file only,
    // 2 preview only) and the port index. Call before start(), not while the thread runs.
    void setTransfer(const SRFileInfo &clip, const std::string &destination, int mode, int portIndex);
    // Call before start(), not while the thread runs.
    void setFrameObserver(FrameObserver frameObserver);

    // Tells the recorder to start its play-out; the writer calls it once it is ready for frames.
    void startPlayback();
    // Asks both threads to end; safe from any thread.
    void requestStop() { stopFlag.store(1); }

    // The writer routine, run on the writer thread: drains the ring, reports progress and completion.
    void MXFWriterThread();

    // Pictures the capture thread took from the card in this transfer. Safe from any thread.
    uint64_t picturesCaptured() const { return pictures.load(); }

signals:
    void newFrameSignal(QImage image, bool clear);
    void transferCompleteSignal();
    void droppedFrameSignal();
    void percentTransferCompleteSignal(int percent);
    void openFileErrorSignal(QString fileName);

protected:
    void run() override;

private:
    void OpenBoard();
    void capture();
    void captureLoop(uint8_t *staging);
    bool dmaPicture(uint8_t *into);
    void endOnLostPicture();
    AUTOCIRCULATE_STATUS_STRUCT dmaStatus();
    uint32_t samplesInFrame(uint64_t position) const;

    std::unique_ptr<QIROSRTransferDevice> device;
    int portIndex;
    // Non-zero ends the capture thread, the writer and every wait of the ring.
    std::atomic<int32_t> stopFlag{0};
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
    std::array<std::unique_ptr<uint8_t[]>, kRingSlots> slotMemory;
    CQIROCircularBuffer<QIROAVDataBuffer *> captureRing;

    // Transfer parameters and writer state.
    int mode = 0;
    std::string destination;
    SRFileInfo clip;
    uint64_t framesWritten = 0;
    FrameObserver observer;

    std::unique_ptr<WriteMXFFileThread> writer;
    std::atomic<uint64_t> pictures{0};
    // The capture thread ended the transfer for a lost picture.
    bool pictureLost = false;
    // The writer reported the transfer complete.
    std::atomic<bool> writerCompleted{false};
    // Set as run()'s last act and read after wait(), so that the destructor sees what the thread wrote.
    std::atomic<bool> runFinished{false};
};
