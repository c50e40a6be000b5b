#include "card/CWyrnCard.h"

// First stand-in: opening board 0 works; the board's services are not there yet and report failure.
struct CWyrnCard::Impl {
    bool open = false;
    uint32_t boardNumber = 0;
};

CWyrnCard::CWyrnCard() : impl(std::make_unique<Impl>()) {}
CWyrnCard::~CWyrnCard() { Close(); }

bool CWyrnCard::Open(uint32_t boardNumber, bool, uint32_t boardType, const char *) {
    OurBoardInfo info;
    CWyrnBoardScan scan(true, boardType);
    for (uint32_t i = 0; i < scan.GetNumBoards(); ++i) {
        if (scan.GetBoardInfo(i, info) && info.boardNumber == boardNumber) {
            impl->open = true;
            impl->boardNumber = boardNumber;
            return true;
        }
    }
    return false;
}
bool CWyrnCard::BoardOpened() const { return impl->open; }
bool CWyrnCard::Close() {
    const bool wasOpen = impl->open;
    impl->open = false;
    return wasOpen;
}

bool CWyrnCard::AcquireStreamForApplication(uint32_t, int64_t) { return false; }
bool CWyrnCard::ReleaseStreamForApplication(uint32_t, int64_t) { return false; }
bool CWyrnCard::GetEveryFrameServices(uint32_t *) { return false; }
bool CWyrnCard::SetEveryFrameServices(uint32_t) { return false; }
bool CWyrnCard::GetVideoFormat(uint32_t *) { return false; }
bool CWyrnCard::SetVideoFormat(uint32_t, bool) { return false; }
bool CWyrnCard::SetReferenceSource(uint32_t, bool) { return false; }
bool CWyrnCard::SetFrameBufferFormat(uint32_t, uint32_t, bool) { return false; }
bool CWyrnCard::SetQ9Xpt2FrameBuffer1InputSelect(uint32_t) { return false; }
bool CWyrnCard::SetQ9Xpt3SDIOut1InputSelect(uint32_t) { return false; }
bool CWyrnCard::SetQ9Xpt5FrameBuffer2InputSelect(uint32_t) { return false; }
bool CWyrnCard::SetQ9Xpt10SDIOut1DS2InputSelect(uint32_t) { return false; }
bool CWyrnCard::SubscribeOutputVerticalEvent() { return false; }
uint32_t CWyrnCard::GetInput1VideoFormat(bool) { return 0; }
bool CWyrnCard::WriteRegister(uint32_t, uint32_t, uint32_t, uint32_t) { return false; }
bool CWyrnCard::ReadRegister(uint32_t, uint32_t *, uint32_t, uint32_t) { return false; }
bool CWyrnCard::SetMode(uint32_t, uint32_t, bool) { return false; }
bool CWyrnCard::InitAutoCirculate(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, bool, bool, bool, bool, bool, bool,
                                  bool, bool) {
    return false;
}
bool CWyrnCard::StartAutoCirculate(uint32_t) { return false; }
bool CWyrnCard::StopAutoCirculate(uint32_t) { return false; }
bool CWyrnCard::GetAutoCirculate(uint32_t, AUTOCIRCULATE_STATUS_STRUCT *) { return false; }
bool CWyrnCard::TransferWithAutoCirculate(AUTOCIRCULATE_TRANSFER_STRUCT *, AUTOCIRCULATE_TRANSFER_STATUS_STRUCT *) {
    return false;
}
bool CWyrnCard::GetCurrentInterruptMask(uint32_t *) { return false; }
bool CWyrnCard::EnableUartRxInterrupt() { return false; }
bool CWyrnCard::DisableUartRxInterrupt() { return false; }
bool CWyrnCard::EnableUartTxInterrupt() { return false; }
bool CWyrnCard::DisableUartTxInterrupt() { return false; }
bool CWyrnCard::SubscribeUartRxInterruptEvent() { return false; }
bool CWyrnCard::UnsubscribeUartRxInterruptEvent() { return false; }
bool CWyrnCard::SubscribeUartTxInterruptEvent() { return false; }
bool CWyrnCard::UnsubscribeUartTxInterruptEvent() { return false; }
bool CWyrnCard::WaitForUartRxInterruptEvent(uint32_t) { return false; }
bool CWyrnCard::WaitForUartTxInterruptEvent(uint32_t) { return false; }
