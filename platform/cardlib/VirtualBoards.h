#pragma once

// The process-wide set of installed virtual boards. Board 0 carries the simulated recorder that
// VANTREL_SIM_MEDIA names (the built-in demo media when unset); it is missing only when the manifest
// says "boardPresent": false. The set is built on first use. Thread-safe.

#include "card/CardTypes.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace cardlib {

class VirtualBoard;

// The installed boards, in board-number order.
std::vector<OurBoardInfo> installedBoards();
// The board with that number, or null when none is installed.
std::shared_ptr<VirtualBoard> findBoard(uint32_t boardNumber);
// The message of the last media that could not be loaded; empty when it loaded.
QString mediaError();

// Test seams: rebuild the boards from the manifest at manifestPath, or from VANTREL_SIM_MEDIA again.
// Card objects already open keep the board they opened; later opens see the new boards.
void useManifest(const QString &manifestPath);
void useConfiguredMedia();

} // namespace cardlib
