#include "platform/cardlib/VirtualUart.h"

#include "card/CardTypes.h"
#include "platform/srmodule/SimulatedRecorder.h"

namespace cardlib {

namespace {
// Control bit 0: the UART sends and receives.
constexpr uint32_t kControlEnable = 0x01;
// Bits that report hardware state; a write cannot change them.
constexpr uint32_t kStatusBits = card::kUartControlPresent | card::kUartControlRxReady;
} // namespace

VirtualUart::VirtualUart(bool present, std::shared_ptr<SimulatedRecorder> recorder)
    : isPresent(present), recorder(std::move(recorder)) {}

uint32_t VirtualUart::control() const {
    if (!isPresent)
        return 0;
    uint32_t value = (controlBits & ~kStatusBits) | card::kUartControlPresent;
    if (!fifo.empty())
        value |= card::kUartControlRxReady;
    return value;
}

void VirtualUart::setControl(uint32_t value) {
    if (!isPresent)
        return;
    controlBits = value & ~kStatusBits;
    if (!enabled())
        fifo.clear();
}

bool VirtualUart::enabled() const {
    return isPresent && (controlBits & kControlEnable) != 0;
}

size_t VirtualUart::transmit(uint8_t byte) {
    if (!enabled())
        return 0;
    if (sentLog.size() == kSentLogSize)
        sentLog.pop_front();
    sentLog.push_back(byte);
    if (!recorder)
        return 0;
    const std::vector<uint8_t> reply = recorder->receiveByte(byte);
    fifo.insert(fifo.end(), reply.begin(), reply.end());
    return reply.size();
}

void VirtualUart::deliver(std::span<const uint8_t> bytes) {
    if (enabled())
        fifo.insert(fifo.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> VirtualUart::takeSent() {
    std::vector<uint8_t> sent(sentLog.begin(), sentLog.end());
    sentLog.clear();
    return sent;
}

uint8_t VirtualUart::receive() {
    if (fifo.empty())
        return 0;
    const uint8_t byte = fifo.front();
    fifo.pop_front();
    return byte;
}

} // namespace cardlib
