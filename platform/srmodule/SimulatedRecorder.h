#pragma once

// The simulated recorder's serial side: it takes the controller's bytes one at a time, and for every
// complete frame with a right checksum returns its whole reply at once (so a reply is complete long
// before the controller reads it). It keeps the play-out state the commands change: the selected clip
// and whether it plays. Frames with a wrong checksum and bytes outside a frame are ignored.
//
// Commands (request -> reply command bytes): F9 FA 00/01 stop/start play-out -> FA FA; 16 00 01 00 00
// name 00 select -> 17 00; F4 FA status -> F5 FA (volume at bytes 16-22, folder from byte 25);
// 14 D0 prepare -> 15 D0; F3 21 start list -> F4 21; F4 21 poll list -> F5 21 (byte 5: 0 ready, count at
// bytes 9-10 once ready); F3 22 00 lo hi request information -> F4 22; F4 22 00 lo hi poll information ->
// the clip's file-information reply once ready, else F5 22 with byte 7 non-zero.
//
// Thread-safe: the serial side and the state accessors may be used from different threads.

#include "platform/srmodule/ClipManifest.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class SimulatedRecorder {
public:
    // Polls of the list query answered busy before it reports the count.
    static constexpr int kListBusyPolls = 2;

    explicit SimulatedRecorder(ClipManifest manifest);

    // One byte from the controller; returns the bytes the recorder sends back (usually none).
    std::vector<uint8_t> receiveByte(uint8_t byte);

    const ClipManifest &manifest() const { return media; }
    // Index into manifest().clips of the clip the last select named, when it named one.
    std::optional<size_t> selectedClip() const;
    // True between a start and a stop of the play-out of the selected clip.
    bool isPlaying() const;

    // The play-out as the SDI output follows it: the selected clip, whether it plays, and how many
    // play-outs were started so far (a new count means the clip plays again from its beginning).
    struct PlayState {
        std::optional<size_t> clip;
        bool playing = false;
        uint64_t starts = 0;
    };
    PlayState playState() const;

private:
    std::vector<uint8_t> answer(uint8_t command1, uint8_t command2, const std::vector<uint8_t> &data);
    std::vector<uint8_t> statusReply();
    std::vector<uint8_t> listPollReply();
    std::vector<uint8_t> informationPollReply(uint16_t index);
    void select(const std::vector<uint8_t> &data);
    std::vector<uint8_t> withFaults(std::vector<uint8_t> reply, const RecorderFaults &faults);

    const ClipManifest media;

    mutable std::mutex lock;
    std::vector<uint8_t> incoming; // the frame being received
    std::optional<size_t> selected;
    bool playing = false;
    uint64_t playoutStarts = 0;
    bool silent = false; // a clip's fault made the recorder stop answering
    int listPolls = -1;  // polls since the list query started; -1 before it started
    std::optional<uint16_t> requestedInformation;
};
