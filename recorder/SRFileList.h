#pragma once

// The result of one reading of the recorder's file list: the clip table's column names and the file
// records in the recorder's order. Copied by value.

#include "recorder/SRFileInfo.h"

#include <string>
#include <vector>

struct SRFileList {
    std::vector<std::string> columnNames{"FileName", "Start", "Duration", "Format", "Date"};
    std::vector<SRFileInfo> files;
};
