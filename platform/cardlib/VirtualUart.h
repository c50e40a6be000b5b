#pragma once

// The UART of a virtual board: its control register, its receive FIFO and the serial line to the
// simulated recorder. Not thread-safe on its own: the board calls it under its lock.

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

class SimulatedRecorder;

namespace cardlib {

class VirtualUart {
public:
    static constexpr size_t kSentLogSize = 4096;

    // recorder may be null: the line is then unconnected and nothing ever answers.
    VirtualUart(bool present, std::shared_ptr<SimulatedRecorder> recorder);

    bool present() const { return isPresent; }
    void setPresent(bool present) { isPresent = present; }

    // Register 72: the bits last written, with bit 8 (UART present) and bit 4 (a received byte is
    // waiting) reflecting the hardware.
    uint32_t control() const;
    // Writes the control bits. Writing a value without the enable bit (bit 0) empties the receive FIFO.
    void setControl(uint32_t value);
    // True while the UART is present and switched on (control bit 0): only then does it send and receive.
    bool enabled() const;

    // Sends one byte on the line (register 70). Returns the number of bytes that came back into the
    // receive FIFO. Bytes are neither sent nor received while the UART is not enabled.
    size_t transmit(uint8_t byte);
    // Bytes arriving on the line from elsewhere than the recorder, as a test seam. Ignored while the UART
    // is not enabled.
    void deliver(std::span<const uint8_t> bytes);
    // The bytes sent since the last call, at most the last kSentLogSize.
    std::vector<uint8_t> takeSent();
    // Takes the oldest received byte (register 71); 0 when none is waiting.
    uint8_t receive();
    size_t waiting() const { return fifo.size(); }

private:
    bool isPresent;
    uint32_t controlBits = 0;
    std::deque<uint8_t> fifo;
    std::deque<uint8_t> sentLog;
    std::shared_ptr<SimulatedRecorder> recorder;
};

} // namespace cardlib
