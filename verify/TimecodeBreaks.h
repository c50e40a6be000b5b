#pragma once

// The frames' lead-in time codes (HH MM SS FF, two BCD digits each, most significant byte first) as text,
// and the places where one does not follow on from the one before. A break is reported, never a reason to
// stop a transfer.

#include <QString>
#include <cstdint>
#include <vector>

struct TimecodeBreak {
    uint64_t frame = 0; // from 0
    QString expected;
    QString found;
};

// "HH:MM:SS:FF" ("HH:MM:SS;FF" for drop frame).
QString timecodeText(uint32_t code, bool dropFrame);
// fps: the integer rate (24 for 23.98, 30 for 29.97).
std::vector<TimecodeBreak> timecodeBreaks(const std::vector<uint32_t> &codes, uint32_t fps, bool dropFrame);
