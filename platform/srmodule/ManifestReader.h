#pragma once

// Reading the simulated recorder's clip manifest (JSON). Keys: "volume", "folder", "boardName",
// "boardPresent", "sdiConnected" (false leaves the card's SDI input without a signal: no valid input
// format), "faults" and "clips"; per clip the ClipRecord fields under their own names, the
// start timecode and dates as texts, "identifier" as 48 hex digits, the essence files "pictureFile" and
// "soundFiles" (relative to the manifest's folder), "dataItems", "sound" and "faults". "sound" describes
// generated sound, one object per channel from channel 1 (channels it leaves out keep their default
// tones): "tone" ({"frequency": whole Hz, "level": dBFS, see SoundTone}) or "silence" (true), and
// "silentFrom" with "silentFrames" (a stretch of digital silence within the clip). Fault keys: "badChecksum",
// "acknowledgeOnly", "stopsAnswering", "staysBusy", and for a clip's play-out "dropsPicture",
// "failsTransferOfPicture" and "stopsPlayingAfter" (picture numbers), "neverPlays", and "timecodeJumpAt" (a
// frame number) with "timecodeJumpFrames" (frames the time code jumps ahead there, default 1).
//
// Failure: a manifest that cannot be read, a key of the wrong type or out of range, an unknown key of a
// sound channel, "sound" together with "soundFiles", or a named essence
// file that is missing or shorter than the clip gives no manifest and one message that names the file
// and the problem.

#include "platform/srmodule/ClipManifest.h"

#include <QString>
#include <optional>

struct ManifestResult {
    std::optional<ClipManifest> manifest;
    QString error; // empty when manifest is set
};

// Environment variable naming the manifest of the simulated recorder.
inline constexpr char kSimMediaVariable[] = "VANTREL_SIM_MEDIA";

ManifestResult readManifest(const QString &path);

// The manifest VANTREL_SIM_MEDIA names, or the built-in demo media when it is unset or empty.
ManifestResult readConfiguredMedia();
