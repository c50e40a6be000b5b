#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

// A picture the card dropped, or one that arrived damaged: the transfer restarted from the clip's beginning.
struct DroppedPicture {
    uint64_t frame = 0; // frames written before the drop
    QString timeCode;   // lead-in time code of the last frame written before it (empty before the first)
    QString cause;      // what was lost or damaged; for a damaged picture, its own frame and time code
    QDateTime at;       // when the drop was seen
};
