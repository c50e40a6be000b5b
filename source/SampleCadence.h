#pragma once

// How many sound samples per channel fall into one edit unit, so that the counts never drift from the
// sampling rate: at 30000/1001 and 48 kHz they run 1602, 1601, 1602, 1601, 1602 and repeat.

#include "mxf/SMDKTypes.h"

#include <cstdint>

// Samples of edit unit `position` (0-based): the rounded cumulative count at its end minus that at its
// start. A sampling rate of 0/1 or with a zero denominator counts as 48 kHz. Throws util::assertion_failure
// "valid edit rate" when the edit rate's numerator is 0.
uint16_t soundSamplesInEditUnit(int64_t position, SMDKRational editRate, SMDKRational samplingRate);
