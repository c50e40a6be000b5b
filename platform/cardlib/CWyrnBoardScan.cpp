#include "card/CWyrnCard.h"
#include "platform/cardlib/VirtualBoards.h"

CWyrnBoardScan::CWyrnBoardScan(bool scanNow, uint32_t boardType) {
    if (scanNow && boardType == card::kBoardType)
        boards = cardlib::installedBoards();
}

uint32_t CWyrnBoardScan::GetNumBoards() const {
    return uint32_t(boards.size());
}

bool CWyrnBoardScan::GetBoardInfo(uint32_t boardIndex, OurBoardInfo &info, bool) const {
    if (boardIndex >= boards.size())
        return false;
    info = boards[boardIndex];
    return true;
}
