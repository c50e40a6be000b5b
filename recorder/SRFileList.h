#pragma once

// The result of one reading of the recorder's file list: the clip table's column names, the file records
// in the recorder's order and whether that is the whole list. Copied by value.

#include "recorder/SRFileInfo.h"

#include <string>
#include <vector>

struct SRFileList {
    std::vector<std::string> columnNames{"FileName", "Start", "Duration", "Format", "Date"};
    std::vector<SRFileInfo> files;
    // False when the recorder did not answer, answered wrongly or stayed busy before every file was read:
    // files then holds the files read so far.
    bool complete = true;
    // How many files the recorder said it holds; -1 when it broke off before it said.
    int announced = -1;
};
