#include "platform/cardlib/VirtualBoard.h"

#include "card/CardTypes.h"
#include "platform/srmodule/SimulatedRecorder.h"

#include <algorithm>

namespace cardlib {

namespace {

// The recorder whose play-out reaches the SDI input: none when the manifest leaves the input unconnected.
std::shared_ptr<SimulatedRecorder> sdiSource(const std::shared_ptr<SimulatedRecorder> &recorder) {
    return recorder && recorder->manifest().sdiConnected ? recorder : nullptr;
}

} // namespace

VirtualBoard::VirtualBoard(uint32_t number, std::string name, std::shared_ptr<SimulatedRecorder> recorder)
    : boardNumber(number), displayName(std::move(name)), attachedRecorder(recorder), uart(true, recorder),
      dma(sdiSource(recorder)) {}

bool VirtualBoard::acquire(uint32_t code, int64_t processId) {
    std::lock_guard guard(lock);
    const std::pair key(code, processId);
    if (owner && *owner != key)
        return false;
    owner = key;
    return true;
}

bool VirtualBoard::release(uint32_t code, int64_t processId) {
    std::lock_guard guard(lock);
    if (!owner || *owner != std::pair(code, processId))
        return false;
    owner.reset();
    return true;
}

uint32_t VirtualBoard::everyFrameServices() const {
    std::lock_guard guard(lock);
    return frameServices;
}

void VirtualBoard::setEveryFrameServices(uint32_t mode) {
    std::lock_guard guard(lock);
    frameServices = mode;
}

VideoSetup VirtualBoard::videoSetup() const {
    std::lock_guard guard(lock);
    return setup;
}

uint32_t VirtualBoard::input1VideoFormat() const {
    return sdiSource(attachedRecorder) ? card::kVideoFormat1080 : 0;
}

bool VirtualBoard::writeRegister(uint32_t number, uint32_t value, uint32_t fieldMask, uint32_t shift) {
    if (shift >= 32)
        return false;
    std::lock_guard guard(lock);
    const bool isControl = number == card::kRegisterUartControl;
    const uint32_t current = isControl ? uart.control() : registers[number];
    const uint32_t next = (current & ~fieldMask) | ((value << shift) & fieldMask);
    if (isControl) {
        uart.setControl(next);
        return true;
    }
    registers[number] = next;
    // A switched-off UART sends nothing, so it has nothing to report either.
    if (number == card::kRegisterUartTransmit && uart.enabled()) {
        if (uart.transmit(uint8_t(next)) > 0)
            raise(UartInterrupt::Receive);
        raise(UartInterrupt::Transmit);
    }
    return true;
}

bool VirtualBoard::readRegister(uint32_t number, uint32_t &value, uint32_t fieldMask, uint32_t shift) {
    if (shift >= 32)
        return false;
    std::lock_guard guard(lock);
    uint32_t stored = 0;
    if (number == card::kRegisterUartControl)
        stored = uart.control();
    else if (number == card::kRegisterUartReceive)
        stored = uart.receive();
    else if (auto found = registers.find(number); found != registers.end())
        stored = found->second;
    value = (stored & fieldMask) >> shift;
    return true;
}

uint32_t VirtualBoard::interruptMask() const {
    std::lock_guard guard(lock);
    return mask;
}

void VirtualBoard::enableInterrupt(UartInterrupt interrupt, bool enable) {
    std::lock_guard guard(lock);
    const uint32_t bit =
        interrupt == UartInterrupt::Receive ? card::kInterruptMaskUartRx : card::kInterruptMaskUartTx;
    mask = enable ? (mask | bit) : (mask & ~bit);
    // The receive interrupt is level-triggered: enabling it with bytes waiting raises it at once.
    if (enable && interrupt == UartInterrupt::Receive && uart.waiting() > 0)
        raise(interrupt);
}

void VirtualBoard::subscribe(UartInterrupt interrupt, const std::shared_ptr<InterruptEvent> &event) {
    std::lock_guard guard(lock);
    auto &list = subscribers(interrupt);
    if (std::find(list.begin(), list.end(), event) == list.end())
        list.push_back(event);
}

void VirtualBoard::unsubscribe(UartInterrupt interrupt, const std::shared_ptr<InterruptEvent> &event) {
    std::lock_guard guard(lock);
    auto &list = subscribers(interrupt);
    list.erase(std::remove(list.begin(), list.end(), event), list.end());
}

void VirtualBoard::deliverToUart(std::span<const uint8_t> bytes) {
    std::lock_guard guard(lock);
    uart.deliver(bytes);
    if (uart.waiting() > 0)
        raise(UartInterrupt::Receive);
}

std::vector<uint8_t> VirtualBoard::takeUartSent() {
    std::lock_guard guard(lock);
    return uart.takeSent();
}

void VirtualBoard::setUartPresent(bool present) {
    std::lock_guard guard(lock);
    uart.setPresent(present);
}

std::vector<std::shared_ptr<InterruptEvent>> &VirtualBoard::subscribers(UartInterrupt interrupt) {
    return interrupt == UartInterrupt::Receive ? rxSubscribers : txSubscribers;
}

// Called with the lock held: an interrupt reaches its subscribers only while enabled in the mask.
void VirtualBoard::raise(UartInterrupt interrupt) {
    const uint32_t bit =
        interrupt == UartInterrupt::Receive ? card::kInterruptMaskUartRx : card::kInterruptMaskUartTx;
    if ((mask & bit) == 0)
        return;
    for (const auto &event : subscribers(interrupt))
        event->raise();
}

} // namespace cardlib
