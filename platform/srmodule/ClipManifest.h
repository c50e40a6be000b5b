#pragma once

// The simulated recorder's media as a clip manifest describes it: the volume and folder it reports, the
// board it is wired to, its clips with their essence, and the faults a test asks it to show.

#include "platform/srmodule/ClipRecord.h"

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// Faults, for the whole recorder or one clip. For the whole recorder they apply to every reply (staysBusy:
// the file-list query never completes); for a clip, to the replies about that clip's information
// (staysBusy: its information never becomes ready; stopsAnswering: the recorder falls silent from the
// request for that clip on).
struct RecorderFaults {
    bool badChecksum = false;     // replies carry a wrong checksum
    bool acknowledgeOnly = false; // 10 01 in place of each reply
    bool stopsAnswering = false;  // no reply at all
    bool staysBusy = false;

    friend bool operator==(const RecorderFaults &, const RecorderFaults &) = default;
};

// Where a clip's essence comes from. Files are absolute paths, checked at load to hold the whole clip;
// essence that no file gives is generated frame by frame during the play-out.
struct ClipEssence {
    QString pictureFile;    // durationFrames pictures of pictureFrameBytes each; empty: generated
    QStringList soundFiles; // one per sound channel, 24-bit little-endian samples; empty: generated tones
    bool dataItems = false; // one data item per frame
};

struct ManifestClip {
    ClipRecord record;
    ClipEssence essence;
    RecorderFaults faults;
};

struct ClipManifest {
    std::string volume = "SRMEDIA"; // exactly 7 bytes: status reply bytes 16 to 22
    std::string folder = "CLIPS";   // status reply text from byte 25
    std::string boardName = "Virtual-1";
    bool boardPresent = true;
    RecorderFaults faults;
    std::vector<ManifestClip> clips;
};
