#pragma once

// The clip information record as JSON: every SRFileInfo field under its own name, rawTail as hex, texts
// exactly as built (trailing blanks kept).

#include "recorder/SRFileInfo.h"

#include <QJsonObject>

QJsonObject clipRecordJson(const SRFileInfo &clip);
