#pragma once

// The clip record a transfer takes for one of the simulated recorder's clips, as the file list would
// give it: the fields the capture and the writer read.

#include "platform/srmodule/ClipRecord.h"
#include "platform/srmodule/EssenceSizes.h"
#include "recorder/SRFileInfo.h"
#include "recorder/Timecode.h"

namespace testsupport {

inline SRFileInfo clipFileInfo(const ClipRecord &record) {
    SRFileInfo info;
    info.fileName = record.fileName;
    info.secondName = record.secondName;
    info.durationFrames = record.durationFrames;
    info.codec = record.codec;
    const EditRate rate = clipEditRate(record);
    info.rateNumerator = int32_t(rate.numerator);
    info.rateDenominator = int32_t(rate.denominator);
    info.frameRate = double(rate.numerator) / rate.denominator;
    info.dropFrame = record.dropFrame != 0 ? 1 : 0;
    const ClipTimecode &start = record.startTimecode;
    info.startFrame = timecodeToFrames(uint32_t(info.frameRate + 0.5), info.dropFrame != 0, start.hours,
                                       start.minutes, start.seconds, start.frames);
    info.rawTail[kRawTailSoundChannels] = record.soundChannels;
    return info;
}

} // namespace testsupport
