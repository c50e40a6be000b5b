#pragma once

// Frames that reached the file damaged but whole: sound that arrived short of its frame's samples and was
// padded with silence. Checksums are taken after the padding, so only this list tells of it; the transfer
// report holds it as `damagedFrames`.

#include <QJsonArray>
#include <QString>
#include <cstdint>
#include <vector>

struct DamagedFrame {
    uint64_t frame = 0;          // from 0
    QString timeCode;            // the frame's lead-in time code
    uint32_t channel = 0;        // sound channel, from 1
    uint32_t samplesMissing = 0; // samples of silence put in place of what did not arrive
};

// One object per entry: frame, timeCode, channel, samplesMissing.
QJsonArray damagedFramesJson(const std::vector<DamagedFrame> &damaged);
// How many different frames the entries name (a frame may be short on several channels).
uint64_t damagedFrameCount(const std::vector<DamagedFrame> &damaged);
