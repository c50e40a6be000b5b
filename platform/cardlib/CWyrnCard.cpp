#include "card/CWyrnCard.h"

#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"

#include <chrono>
#include <optional>

using cardlib::InterruptEvent;
using cardlib::UartInterrupt;
using cardlib::VirtualBoard;

// A card object is a handle on one shared virtual board, with its own interrupt events and the
// exclusive use it acquired (given back when it closes).
struct CWyrnCard::Impl {
    std::shared_ptr<VirtualBoard> board;
    std::optional<std::pair<uint32_t, int64_t>> acquired;
    std::shared_ptr<InterruptEvent> rxEvent = std::make_shared<InterruptEvent>();
    std::shared_ptr<InterruptEvent> txEvent = std::make_shared<InterruptEvent>();
    std::shared_ptr<InterruptEvent> verticalEvent = std::make_shared<InterruptEvent>();
    bool verticalSubscribed = false;
    bool rxSubscribed = false;
    bool txSubscribed = false;
    std::optional<uint32_t> dmaStarted; // the crosspoint this card started ring DMA on

    std::shared_ptr<InterruptEvent> &eventFor(UartInterrupt interrupt) {
        return interrupt == UartInterrupt::Receive ? rxEvent : txEvent;
    }
    bool &subscribedFlag(UartInterrupt interrupt) {
        return interrupt == UartInterrupt::Receive ? rxSubscribed : txSubscribed;
    }
    bool subscribe(UartInterrupt interrupt, bool on) {
        if (!board)
            return false;
        if (on)
            board->subscribe(interrupt, eventFor(interrupt));
        else
            board->unsubscribe(interrupt, eventFor(interrupt));
        subscribedFlag(interrupt) = on;
        return true;
    }
    bool wait(UartInterrupt interrupt, uint32_t timeoutMs) {
        if (!board || !subscribedFlag(interrupt))
            return false;
        return eventFor(interrupt)->wait(std::chrono::milliseconds(timeoutMs));
    }
    bool enable(UartInterrupt interrupt, bool on) {
        if (!board)
            return false;
        board->enableInterrupt(interrupt, on);
        return true;
    }
    template <typename Change> bool setUp(Change change) {
        if (!board)
            return false;
        board->changeVideoSetup(change);
        return true;
    }
};

CWyrnCard::CWyrnCard() : impl(std::make_unique<Impl>()) {}
CWyrnCard::~CWyrnCard() {
    Close();
}

bool CWyrnCard::Open(uint32_t boardNumber, bool, uint32_t boardType, const char *) {
    const bool typeAccepted = boardType == card::kBoardType || boardType == card::kAnyBoardType;
    if (typeAccepted && impl->board && impl->board->number() == boardNumber)
        return true;
    Close();
    if (!typeAccepted)
        return false;
    impl->board = cardlib::findBoard(boardNumber);
    return impl->board != nullptr;
}

bool CWyrnCard::BoardOpened() const {
    return impl->board != nullptr;
}

bool CWyrnCard::Close() {
    if (!impl->board)
        return false;
    impl->subscribe(UartInterrupt::Receive, false);
    impl->subscribe(UartInterrupt::Transmit, false);
    if (impl->verticalSubscribed)
        impl->board->ringDma().unsubscribeVertical(impl->verticalEvent);
    impl->verticalSubscribed = false;
    if (impl->dmaStarted)
        impl->board->ringDma().stop(*impl->dmaStarted);
    impl->dmaStarted.reset();
    if (impl->acquired)
        impl->board->release(impl->acquired->first, impl->acquired->second);
    impl->acquired.reset();
    impl->board.reset();
    return true;
}

bool CWyrnCard::AcquireStreamForApplication(uint32_t code, int64_t processId) {
    if (!impl->board || !impl->board->acquire(code, processId))
        return false;
    impl->acquired = std::pair(code, processId);
    return true;
}

bool CWyrnCard::ReleaseStreamForApplication(uint32_t code, int64_t processId) {
    if (!impl->board || !impl->board->release(code, processId))
        return false;
    impl->acquired.reset();
    return true;
}

bool CWyrnCard::GetEveryFrameServices(uint32_t *mode) {
    if (!impl->board || mode == nullptr)
        return false;
    *mode = impl->board->everyFrameServices();
    return true;
}

bool CWyrnCard::SetEveryFrameServices(uint32_t mode) {
    if (!impl->board)
        return false;
    impl->board->setEveryFrameServices(mode);
    return true;
}

bool CWyrnCard::GetVideoFormat(uint32_t *format) {
    if (!impl->board || format == nullptr)
        return false;
    *format = impl->board->videoSetup().videoFormat;
    return true;
}

bool CWyrnCard::SetVideoFormat(uint32_t format, bool) {
    return impl->setUp([format](cardlib::VideoSetup &s) { s.videoFormat = format; });
}

bool CWyrnCard::SetReferenceSource(uint32_t source, bool) {
    return impl->setUp([source](cardlib::VideoSetup &s) { s.referenceSource = source; });
}

bool CWyrnCard::SetFrameBufferFormat(uint32_t channel, uint32_t format, bool) {
    if (channel < 1 || channel > 2)
        return false;
    return impl->setUp(
        [channel, format](cardlib::VideoSetup &s) { s.frameBufferFormat[channel - 1] = format; });
}

bool CWyrnCard::SetQ9Xpt2FrameBuffer1InputSelect(uint32_t selection) {
    return impl->setUp([selection](cardlib::VideoSetup &s) { s.frameBuffer1Input = selection; });
}

bool CWyrnCard::SetQ9Xpt3SDIOut1InputSelect(uint32_t selection) {
    return impl->setUp([selection](cardlib::VideoSetup &s) { s.sdiOut1Input = selection; });
}

bool CWyrnCard::SetQ9Xpt5FrameBuffer2InputSelect(uint32_t selection) {
    return impl->setUp([selection](cardlib::VideoSetup &s) { s.frameBuffer2Input = selection; });
}

bool CWyrnCard::SetQ9Xpt10SDIOut1DS2InputSelect(uint32_t selection) {
    return impl->setUp([selection](cardlib::VideoSetup &s) { s.sdiOut1DS2Input = selection; });
}

bool CWyrnCard::SubscribeOutputVerticalEvent() {
    if (!impl->setUp([](cardlib::VideoSetup &s) { s.outputVerticalSubscribed = true; }))
        return false;
    impl->board->ringDma().subscribeVertical(impl->verticalEvent);
    impl->verticalSubscribed = true;
    return true;
}

bool CWyrnCard::WaitForOutputVerticalEvent(uint32_t timeoutMs) {
    return impl->board && impl->verticalSubscribed &&
           impl->verticalEvent->wait(std::chrono::milliseconds(timeoutMs));
}

uint32_t CWyrnCard::GetInput1VideoFormat(bool) {
    return impl->board ? impl->board->input1VideoFormat() : 0;
}

bool CWyrnCard::WriteRegister(uint32_t number, uint32_t value, uint32_t mask, uint32_t shift) {
    return impl->board && impl->board->writeRegister(number, value, mask, shift);
}

bool CWyrnCard::ReadRegister(uint32_t number, uint32_t *value, uint32_t mask, uint32_t shift) {
    return impl->board && value != nullptr && impl->board->readRegister(number, *value, mask, shift);
}

bool CWyrnCard::SetMode(uint32_t channel, uint32_t mode, bool) {
    return impl->board && impl->board->ringDma().setMode(channel, mode);
}

bool CWyrnCard::InitAutoCirculate(uint32_t crosspoint, uint32_t, uint32_t, uint32_t, uint32_t, bool, bool,
                                  bool, bool, bool, bool, bool, bool) {
    return impl->board && impl->board->ringDma().init(crosspoint);
}

bool CWyrnCard::StartAutoCirculate(uint32_t crosspoint) {
    if (!impl->board || !impl->board->ringDma().start(crosspoint))
        return false;
    impl->dmaStarted = crosspoint;
    return true;
}

bool CWyrnCard::StopAutoCirculate(uint32_t crosspoint) {
    if (!impl->board || !impl->board->ringDma().stop(crosspoint))
        return false;
    impl->dmaStarted.reset();
    return true;
}

bool CWyrnCard::GetAutoCirculate(uint32_t crosspoint, AUTOCIRCULATE_STATUS_STRUCT *status) {
    return impl->board && status != nullptr && impl->board->ringDma().status(crosspoint, *status);
}

bool CWyrnCard::TransferWithAutoCirculate(AUTOCIRCULATE_TRANSFER_STRUCT *transfer,
                                          AUTOCIRCULATE_TRANSFER_STATUS_STRUCT *transferStatus) {
    return impl->board && transfer != nullptr && impl->board->ringDma().transfer(*transfer, transferStatus);
}

bool CWyrnCard::GetCurrentInterruptMask(uint32_t *mask) {
    if (!impl->board || mask == nullptr)
        return false;
    *mask = impl->board->interruptMask();
    return true;
}

bool CWyrnCard::EnableUartRxInterrupt() {
    return impl->enable(UartInterrupt::Receive, true);
}
bool CWyrnCard::DisableUartRxInterrupt() {
    return impl->enable(UartInterrupt::Receive, false);
}
bool CWyrnCard::EnableUartTxInterrupt() {
    return impl->enable(UartInterrupt::Transmit, true);
}
bool CWyrnCard::DisableUartTxInterrupt() {
    return impl->enable(UartInterrupt::Transmit, false);
}
bool CWyrnCard::SubscribeUartRxInterruptEvent() {
    return impl->subscribe(UartInterrupt::Receive, true);
}
bool CWyrnCard::UnsubscribeUartRxInterruptEvent() {
    return impl->subscribe(UartInterrupt::Receive, false);
}
bool CWyrnCard::SubscribeUartTxInterruptEvent() {
    return impl->subscribe(UartInterrupt::Transmit, true);
}
bool CWyrnCard::UnsubscribeUartTxInterruptEvent() {
    return impl->subscribe(UartInterrupt::Transmit, false);
}
bool CWyrnCard::WaitForUartRxInterruptEvent(uint32_t timeoutMs) {
    return impl->wait(UartInterrupt::Receive, timeoutMs);
}
bool CWyrnCard::WaitForUartTxInterruptEvent(uint32_t timeoutMs) {
    return impl->wait(UartInterrupt::Transmit, timeoutMs);
}
