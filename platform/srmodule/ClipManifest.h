#pragma once

// The simulated recorder's media as a clip manifest describes it: the volume and folder it reports, the
// board it is wired to, its clips with their essence, and the faults a test asks it to show.

#include "platform/srmodule/ClipRecord.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
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

// A generated sine tone. Its level is the sine's peak against full scale, 2^23 (the magnitude of the
// most negative 24-bit sample): 0 dBFS peaks at full scale, and its RMS is 3.01 dB below its level. Samples
// a level at or above 0 dBFS drives past full scale are held at +8388607 or -8388608: clipped, as an
// overdriven converter gives them.
struct SoundTone {
    uint32_t frequencyHz = 1000; // whole hertz, so that every second holds whole cycles
    double levelDbfs = -20.0;

    friend bool operator==(const SoundTone &, const SoundTone &) = default;
};

// What a generated sound channel carries: a tone (its own default tone when none is given) or digital
// silence, and optionally a stretch of digital silence within it.
struct ChannelSound {
    std::optional<SoundTone> tone; // empty: the channel's default tone
    bool silence = false;          // the whole channel is digital silence
    // Frames [silentFrom, silentFrom + silentFrames), counted from 0, are digital silence.
    std::optional<uint32_t> silentFrom;
    uint32_t silentFrames = 0;

    friend bool operator==(const ChannelSound &, const ChannelSound &) = default;
};

// Where a clip's essence comes from. Files are absolute paths, checked at load to hold the whole clip;
// essence that no file gives is generated frame by frame during the play-out.
struct ClipEssence {
    QString pictureFile;    // durationFrames pictures of pictureFrameBytes each; empty: generated
    QStringList soundFiles; // one per sound channel, 24-bit little-endian samples; empty: generated tones
    // By channel, for generated sound; channels past its end carry their default tones.
    std::vector<ChannelSound> sound;
    bool dataItems = false; // one data item per frame
};

// Faults of a clip's play-out on the SDI output.
struct PlayoutFaults {
    // Bytes the picture of shortPictureAt lacks.
    static constexpr uint32_t kShortPictureBytes = 1000;

    // The picture of this number, counted from 0 at the start of the play-out, never reaches the card
    // (once per recorder; the card counts it dropped).
    std::optional<uint32_t> dropsPicture;
    // The picture of this number reaches the card, but the card's transfer of it fails and loses it (once
    // per recorder).
    std::optional<uint32_t> failsTransferOfPicture;
    bool neverPlays = false; // the play-out never leaves its idle pictures
    // The play-out falls back to idle pictures after this many pictures.
    std::optional<uint32_t> stopsPlayingAfter;
    // From the frame of this number on (counted from 0), the frames' lead-in time codes run
    // timecodeJumpFrames frames ahead: the recorded time code jumps there.
    std::optional<uint32_t> timecodeJumpAt;
    uint32_t timecodeJumpFrames = 1;
    // The picture of this frame (counted from 0) arrives kShortPictureBytes short, on every play-out.
    std::optional<uint32_t> shortPictureAt;
    // The block that carries this frame's sound (counted from 0) lacks the last shortSoundSamples samples
    // of sound channel 0, on every play-out: the last frame that block carries arrives with short sound.
    std::optional<uint32_t> shortSoundAt;
    uint32_t shortSoundSamples = 1;

    friend bool operator==(const PlayoutFaults &, const PlayoutFaults &) = default;
};

struct ManifestClip {
    ClipRecord record;
    ClipEssence essence;
    RecorderFaults faults;
    PlayoutFaults playoutFaults;
};

struct ClipManifest {
    std::string volume = "SRMEDIA"; // status reply bytes 16 to 22: 7 bytes, cut or 00-padded to them
    std::string folder = "CLIPS";   // status reply text from byte 25
    std::string boardName = "Virtual-1";
    bool boardPresent = true;
    bool sdiConnected = true; // false: the recorder's SDI output reaches no card input (no valid format)
    RecorderFaults faults;
    std::vector<ManifestClip> clips;
};
