#include "batch/SharedNames.h"

#include "recorder/QIROSRTransferDevice.h"

#include <algorithm>
#include <map>
#include <string>

namespace {

// The name as the select command sends it.
std::string selectName(const std::string &fileName) {
    return fileName.substr(0, std::min(fileName.find('\0'), QIROSRTransferDevice::kMaxSelectNameLength));
}

} // namespace

std::vector<bool> sharesFileName(const std::vector<SRFileInfo> &clips) {
    std::map<std::string, int> uses;
    for (const SRFileInfo &clip : clips)
        ++uses[selectName(clip.fileName)];
    std::vector<bool> shared;
    shared.reserve(clips.size());
    for (const SRFileInfo &clip : clips)
        shared.push_back(uses[selectName(clip.fileName)] > 1);
    return shared;
}
