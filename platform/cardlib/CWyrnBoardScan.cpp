#include "card/CWyrnCard.h"

// The virtual card: one board, number 0.
CWyrnBoardScan::CWyrnBoardScan(bool scanNow, uint32_t boardType) {
    if (scanNow && boardType == card::kBoardType)
        boards.push_back(OurBoardInfo{0, card::kBoardType, 0, "Virtual-1"});
}

uint32_t CWyrnBoardScan::GetNumBoards() const { return uint32_t(boards.size()); }

bool CWyrnBoardScan::GetBoardInfo(uint32_t boardIndex, OurBoardInfo &info, bool) const {
    if (boardIndex >= boards.size())
        return false;
    info = boards[boardIndex];
    return true;
}
