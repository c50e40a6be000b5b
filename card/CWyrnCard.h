#pragma once

// The capture-card library interface: one board (CWyrnCard), the installed boards (CWyrnBoardScan),
// the debug print and the line colour conversion. The system calls only what is declared here; the
// implementation behind it is the card library (on this machine the virtual card of platform/cardlib).
//
// Conventions: operations return false (or zero) on failure and never throw. Every operation other than
// Open, BoardOpened and Close fails on a card that is not open. An object is used by one thread at a time,
// except the register accesses and the UART waits, which may run on several threads at once (the serial
// port's read thread reads registers while its owner writes them); Close only after the others have ended.

#include "card/CardTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

class CWyrnCard {
public:
    CWyrnCard();
    virtual ~CWyrnCard(); // closes the board when still open
    CWyrnCard(const CWyrnCard &) = delete;
    CWyrnCard &operator=(const CWyrnCard &) = delete;

    // Boards. Open fails when no board with that number and type is installed; boardType kAnyBoardType
    // takes the board of that number whatever its type. Opening the board the card already has open keeps
    // the card as it is (exclusive use, interrupt subscriptions, ring DMA); any other open closes it first. Close
    // gives back the exclusive use this object holds.
    virtual bool Open(uint32_t boardNumber, bool displayError = false, uint32_t boardType = card::kBoardType,
                      const char *hostName = nullptr);
    virtual bool BoardOpened() const;
    virtual bool Close();

    // Exclusive use, keyed by a four-letter code and a process id. Acquiring fails while another
    // code or process holds the board; acquiring again with the same key succeeds.
    virtual bool AcquireStreamForApplication(uint32_t code, int64_t processId);
    virtual bool ReleaseStreamForApplication(uint32_t code, int64_t processId);

    // Per-frame service mode.
    virtual bool GetEveryFrameServices(uint32_t *mode);
    virtual bool SetEveryFrameServices(uint32_t mode);

    // Video set-up.
    virtual bool GetVideoFormat(uint32_t *format);
    virtual bool SetVideoFormat(uint32_t format, bool retail = false);
    virtual bool SetReferenceSource(uint32_t source, bool retail = false);
    virtual bool SetFrameBufferFormat(uint32_t channel, uint32_t format, bool retail = false);
    virtual bool SetQ9Xpt2FrameBuffer1InputSelect(uint32_t selection);
    virtual bool SetQ9Xpt3SDIOut1InputSelect(uint32_t selection);
    virtual bool SetQ9Xpt5FrameBuffer2InputSelect(uint32_t selection);
    virtual bool SetQ9Xpt10SDIOut1DS2InputSelect(uint32_t selection);
    virtual bool SubscribeOutputVerticalEvent();
    // True when a vertical event (one per picture of the video) came within timeoutMs milliseconds, or had
    // come since the last wait; false at the time-out and when the event is not subscribed.
    virtual bool WaitForOutputVerticalEvent(uint32_t timeoutMs);
    // Format of the signal on SDI input 1; 0 when there is no valid input.
    virtual uint32_t GetInput1VideoFormat(bool forceRead = true);

    // Registers: WriteRegister replaces the bits of mask with value << shift; ReadRegister yields
    // (register & mask) >> shift.
    virtual bool WriteRegister(uint32_t number, uint32_t value, uint32_t mask = card::kFullMask,
                               uint32_t shift = 0);
    virtual bool ReadRegister(uint32_t number, uint32_t *value, uint32_t mask = card::kFullMask,
                              uint32_t shift = 0);

    // Ring DMA. SetMode: mode 1 capture, 0 display. A transfer copies the oldest captured picture into
    // transfer->videoBuffer (at most videoBufferSize bytes) and returns true on success.
    virtual bool SetMode(uint32_t channel, uint32_t mode, bool retail = false);
    virtual bool InitAutoCirculate(uint32_t crosspoint, uint32_t startBuffer, uint32_t endBuffer,
                                   uint32_t channelCount, uint32_t soundSystem, bool option1 = false,
                                   bool option2 = false, bool option3 = false, bool option4 = false,
                                   bool option5 = false, bool option6 = false, bool option7 = false,
                                   bool option8 = false);
    virtual bool StartAutoCirculate(uint32_t crosspoint);
    virtual bool StopAutoCirculate(uint32_t crosspoint);
    virtual bool GetAutoCirculate(uint32_t crosspoint, AUTOCIRCULATE_STATUS_STRUCT *status);
    virtual bool TransferWithAutoCirculate(AUTOCIRCULATE_TRANSFER_STRUCT *transfer,
                                           AUTOCIRCULATE_TRANSFER_STATUS_STRUCT *transferStatus);

    // UART interrupts. The waits return true when the interrupt came within timeoutMs milliseconds.
    virtual bool GetCurrentInterruptMask(uint32_t *mask);
    virtual bool EnableUartRxInterrupt();
    virtual bool DisableUartRxInterrupt();
    virtual bool EnableUartTxInterrupt();
    virtual bool DisableUartTxInterrupt();
    virtual bool SubscribeUartRxInterruptEvent();
    virtual bool UnsubscribeUartRxInterruptEvent();
    virtual bool SubscribeUartTxInterruptEvent();
    virtual bool UnsubscribeUartTxInterruptEvent();
    virtual bool WaitForUartRxInterruptEvent(uint32_t timeoutMs = 15);
    virtual bool WaitForUartTxInterruptEvent(uint32_t timeoutMs = 15);

    struct Impl;

private:
    std::unique_ptr<Impl> impl;
};

// The installed boards, scanned at construction.
class CWyrnBoardScan {
public:
    explicit CWyrnBoardScan(bool scanNow = true, uint32_t boardType = card::kBoardType);
    uint32_t GetNumBoards() const;
    // Fills info for the board at boardIndex; false when there is no such board.
    bool GetBoardInfo(uint32_t boardIndex, OurBoardInfo &info, bool displayError = false) const;

private:
    std::vector<OurBoardInfo> boards;
};

// printf-style debug print. Prints to stderr only when the environment variable VANTREL_DEBUG is set
// and not "0"; users never see debug output otherwise. Safe from any thread.
void odprintf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Converts one line of 8-bit 4:2:2 (Cb Y0 Cr Y1 per pixel pair) to 32-bit pixels in memory order
// B, G, R, 255 (QImage::Format_RGB32). pixelCount is the number of pixels; both buffers must hold it.
// fullRange: the samples use 0..255 rather than 16..235; rec709: BT.709 matrix rather than BT.601.
void ConvertLinetoRGB(const uint8_t *ycbcr, uint32_t *rgb, uint32_t pixelCount, bool fullRange, bool rec709);
