#include "card/CWyrnSerialPort.h"

#include "threads/ThreadName.h"

#include <QCoreApplication>
#include <algorithm>

CWyrnSerialPort::CWyrnSerialPort(uint16_t boardNumber, uint32_t applicationCode)
    : boardNumber(boardNumber), applicationCode(applicationCode) {}

CWyrnSerialPort::~CWyrnSerialPort() {
    close();
}

bool CWyrnSerialPort::open(unsigned) {
    close();
    if (!Open(boardNumber, false, card::kBoardType, nullptr))
        return false;
    if (applicationCode != 0 &&
        !AcquireStreamForApplication(applicationCode, QCoreApplication::applicationPid())) {
        Close();
        return false;
    }
    uint32_t control = 0;
    if (!ReadRegister(card::kRegisterUartControl, &control) || (control & card::kUartControlPresent) == 0) {
        odprintf("CWyrnSerialPort: board %u has no UART", unsigned(boardNumber));
        Close();
        return false;
    }
    WriteRegister(card::kRegisterUartControl, control | card::kUartControlOpenBits);

    GetCurrentInterruptMask(&savedInterruptMask);
    EnableUartRxInterrupt();
    SubscribeUartRxInterruptEvent();
    EnableUartTxInterrupt();
    SubscribeUartTxInterruptEvent();
    WriteRegister(card::kRegisterUartReset, 0);

    stopFlag.store(0);
    receiveRing.AttachStopFlag(&stopFlag);
    for (uint8_t &slot : receiveBytes)
        receiveRing.AddSlot(&slot);

    readThread = std::make_unique<CWyrnSerialPortReadThread>(this);
    readThread->start(QThread::InheritPriority);
    return true;
}

void CWyrnSerialPort::close() {
    if (!BoardOpened())
        return;
    stopFlag.store(1);
    if (readThread) {
        readThread->wait();
        readThread.reset();
    }
    uint32_t control = 0;
    if (ReadRegister(card::kRegisterUartControl, &control) && (control & card::kUartControlPresent) != 0) {
        WriteRegister(card::kRegisterUartControl, 0);
        UnsubscribeUartRxInterruptEvent();
        if ((savedInterruptMask & card::kInterruptMaskUartRx) == 0)
            DisableUartRxInterrupt();
        UnsubscribeUartTxInterruptEvent();
        if ((savedInterruptMask & card::kInterruptMaskUartTx) == 0)
            DisableUartTxInterrupt();
    }
    if (applicationCode != 0)
        ReleaseStreamForApplication(applicationCode, QCoreApplication::applicationPid());
    Close();
}

uint64_t CWyrnSerialPort::write(const char *data, uint64_t length) {
    if (!BoardOpened() || length > kMaxWriteLength || (data == nullptr && length != 0))
        return 0;
    for (uint64_t i = 0; i < length; ++i)
        WriteRegister(card::kRegisterUartTransmit, uint32_t(int32_t(static_cast<signed char>(data[i]))));
    return WaitForUartTxInterruptEvent(kInterruptWaitMs) ? length : 0;
}

uint64_t CWyrnSerialPort::read(char *data, uint64_t maxLength) {
    if (data == nullptr)
        return 0;
    const uint64_t count = std::min<uint64_t>(maxLength, receiveRing.level());
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t *slot = receiveRing.BeginConsume();
        if (slot == nullptr)
            return i;
        data[i] = char(*slot);
        receiveRing.EndConsume();
    }
    return count;
}

uint64_t CWyrnSerialPort::bytesAvailable() const {
    return receiveRing.level();
}

void CWyrnSerialPort::setTimeout(long) {}

void CWyrnSerialPort::readSerialPortInThread() {
    if (!BoardOpened())
        return;
    while (stopFlag.load() == 0) {
        WaitForUartRxInterruptEvent(kInterruptWaitMs);
        // A status read that fails counts as no byte waiting, so a card that stops answering cannot keep
        // the loop filling the ring with bytes it never received.
        uint32_t control = 0;
        while (ReadRegister(card::kRegisterUartControl, &control) &&
               (control & card::kUartControlRxReady) != 0) {
            // The slot is taken first, so a byte stays in the card while the ring is full.
            uint8_t *slot = receiveRing.BeginProduce();
            if (slot == nullptr)
                return;
            uint32_t value = 0;
            ReadRegister(card::kRegisterUartReceive, &value);
            *slot = uint8_t(value);
            receiveRing.EndProduce();
        }
    }
}

CWyrnSerialPortReadThread::CWyrnSerialPortReadThread(CWyrnSerialPort *port) : port(port) {}

void CWyrnSerialPortReadThread::run() {
    const ThreadName name(kThreadName);
    setPriority(QThread::TimeCriticalPriority);
    port->readSerialPortInThread();
}
