#pragma once

// One virtual capture board: its registers, interrupt mask, exclusive-use owner, video set-up and UART.
// Every CWyrnCard that opens the board shares this state, as card objects share one physical board.
// Thread-safe: every operation takes the board's lock; interrupt waits happen on the subscriber's own
// event, outside the lock.

#include "platform/cardlib/InterruptEvent.h"
#include "platform/cardlib/RingDma.h"
#include "platform/cardlib/VirtualUart.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

class SimulatedRecorder;

namespace cardlib {

// The video set-up values the system writes; kept so the capture side can check them.
struct VideoSetup {
    uint32_t videoFormat = 0;
    uint32_t referenceSource = 0;
    uint32_t frameBufferFormat[2] = {0, 0}; // channels 1 and 2
    uint32_t frameBuffer1Input = 0;
    uint32_t sdiOut1Input = 0;
    uint32_t frameBuffer2Input = 0;
    uint32_t sdiOut1DS2Input = 0;
    bool outputVerticalSubscribed = false;
};

enum class UartInterrupt { Receive, Transmit };

class VirtualBoard {
public:
    // recorder: the simulated recorder on the UART and the SDI input, or null when none is attached.
    VirtualBoard(uint32_t number, std::string name, std::shared_ptr<SimulatedRecorder> recorder);

    uint32_t number() const { return boardNumber; }
    const std::string &name() const { return displayName; }
    // The recorder attached to this board, or null.
    std::shared_ptr<SimulatedRecorder> recorder() const { return attachedRecorder; }

    // Exclusive use: the first (code, process) to acquire holds the board until it releases it.
    bool acquire(uint32_t code, int64_t processId);
    bool release(uint32_t code, int64_t processId);

    uint32_t everyFrameServices() const;
    void setEveryFrameServices(uint32_t mode);

    VideoSetup videoSetup() const;
    // Applies change to the set-up under the board's lock.
    template <typename Change> void changeVideoSetup(Change change) {
        std::lock_guard guard(lock);
        change(setup);
    }
    // Format of the signal on SDI input 1: the 1080 format while a recorder is attached with its SDI output
    // connected, else 0. An unconnected input also captures no play-out, only idle pictures.
    uint32_t input1VideoFormat() const;

    // Registers with mask and shift; false when shift is 32 or more.
    bool writeRegister(uint32_t number, uint32_t value, uint32_t mask, uint32_t shift);
    bool readRegister(uint32_t number, uint32_t &value, uint32_t mask, uint32_t shift);

    uint32_t interruptMask() const;
    void enableInterrupt(UartInterrupt interrupt, bool enable);
    void subscribe(UartInterrupt interrupt, const std::shared_ptr<InterruptEvent> &event);
    void unsubscribe(UartInterrupt interrupt, const std::shared_ptr<InterruptEvent> &event);

    // Test seams: bytes arriving on the UART from elsewhere than the recorder (raising the receive
    // interrupt), and the bytes the UART sent since the last call.
    void deliverToUart(std::span<const uint8_t> bytes);
    std::vector<uint8_t> takeUartSent();

    // Fits or removes the UART (bit 8 of register 72), so that a board without one can be tried.
    void setUartPresent(bool present);

    // The ring DMA of the board's SDI input, fed by the attached recorder; it has its own lock.
    RingDma &ringDma() { return dma; }

private:
    std::vector<std::shared_ptr<InterruptEvent>> &subscribers(UartInterrupt interrupt);
    void raise(UartInterrupt interrupt);

    const uint32_t boardNumber;
    const std::string displayName;
    const std::shared_ptr<SimulatedRecorder> attachedRecorder;

    mutable std::mutex lock;
    std::map<uint32_t, uint32_t> registers;
    uint32_t mask = 0;
    std::optional<std::pair<uint32_t, int64_t>> owner;
    uint32_t frameServices = 1;
    VideoSetup setup;
    VirtualUart uart;
    std::vector<std::shared_ptr<InterruptEvent>> rxSubscribers;
    std::vector<std::shared_ptr<InterruptEvent>> txSubscribers;
    RingDma dma; // last: its feeder thread ends before the rest of the board goes
};

} // namespace cardlib
