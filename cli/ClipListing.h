#pragma once

// The recorder's clip list as vantrel-transfer prints it: a table of the clip table's five columns with
// the clips that cannot be transferred marked and why, and those whose name another clip shares (the
// recorder may play the other one); or one JSON array holding every field of every clip, whether the clip
// is listed and whether it shares its name (sharesFileName).

#include "recorder/SRFileList.h"

#include <QByteArray>
#include <QString>

QString clipTable(const SRFileList &list);
QByteArray clipJson(const SRFileList &list);
