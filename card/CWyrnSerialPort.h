#pragma once

// A byte-stream serial port over the UART of a capture board, with the small surface of a PC serial port.
// Writing puts the bytes one by one into the card's transmit register. A read thread waits for the card's
// receive interrupt and moves every received byte into a 256-slot ring, from which read takes them;
// while the ring is full, further bytes wait in the card.
//
// Threads: open, close, write and read are called by one thread (the ring's consumer); the read thread is
// the ring's producer. Failure: false or 0, never an exception.

#include "card/CWyrnCard.h"
#include "ring/CircularBuffer.h"

#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>

class CWyrnSerialPortReadThread;

class CWyrnSerialPort : public CWyrnCard {
public:
    // Slots of the receive ring.
    static constexpr size_t kReceiveSlots = 256;
    // Longest write: the transmit loop counts in 16 bits.
    static constexpr uint64_t kMaxWriteLength = 65535;
    // Milliseconds each wait for a UART interrupt lasts.
    static constexpr uint32_t kInterruptWaitMs = 15;

    // applicationCode 0: the port does not ask for exclusive use of the board.
    explicit CWyrnSerialPort(uint16_t boardNumber = 0, uint32_t applicationCode = 0);
    ~CWyrnSerialPort() override; // closes the port

    // Opens the board, takes exclusive use when asked, enables the UART and its interrupts and starts the
    // read thread. False when the board cannot be opened or acquired or has no UART; the board is then
    // closed again. The argument is not used.
    bool open(unsigned mode);
    // Stops the read thread, disables the UART, restores the interrupts enabled before open, gives up
    // exclusive use and closes the board. Does nothing on a closed port.
    void close();

    // Sends length bytes; returns length when the transmit interrupt came within 15 ms, else 0 (the bytes
    // were sent all the same). Returns 0 on a closed port and for more than 65,535 bytes, sending nothing.
    uint64_t write(const char *data, uint64_t length);
    // Takes at most maxLength received bytes without waiting for more; returns how many.
    uint64_t read(char *data, uint64_t maxLength);
    // Received bytes waiting in the ring.
    uint64_t bytesAvailable() const;
    // Accepted for the serial-port surface; the port has no time-out of its own.
    void setTimeout(long milliseconds);

    // The read thread's body: runs until close.
    void readSerialPortInThread();

private:
    uint16_t boardNumber;
    uint32_t applicationCode;
    std::unique_ptr<CWyrnSerialPortReadThread> readThread;
    uint32_t savedInterruptMask = 0;
    std::atomic<int32_t> stopFlag{0};
    uint8_t receiveBytes[kReceiveSlots] = {};
    CQIROCircularBuffer<uint8_t *> receiveRing;
};

// The port's read thread: runs readSerialPortInThread at time-critical priority.
class CWyrnSerialPortReadThread : public QThread {
    Q_OBJECT
public:
    // The thread's name, as tools that list threads show it.
    static constexpr char kThreadName[] = "vtrl-uart";

    explicit CWyrnSerialPortReadThread(CWyrnSerialPort *port);

protected:
    void run() override;

private:
    CWyrnSerialPort *port;
};
