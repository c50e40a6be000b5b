#pragma once

// The recorder's clip list as vantrel-transfer prints it: a table of the clip table's five columns with
// the clips that cannot be transferred marked and why, or one JSON array holding every field of every clip
// and whether the clip is listed.

#include "recorder/SRFileList.h"

#include <QByteArray>
#include <QString>

QString clipTable(const SRFileList &list);
QByteArray clipJson(const SRFileList &list);
