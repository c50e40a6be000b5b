#pragma once

// The recorder's SDI output in transfer mode, picture after picture: idle pictures while nothing plays;
// after a start of the play-out of the selected clip a few idle pictures, then every payload block of the
// clip as two consecutive pictures (8-bit 4:2:2), then idle pictures again. Idle pictures carry no payload:
// they fail the first-block check.
//
// Pictures are handed out as shared, read-only views, so a receiver can hold several without copying;
// the memory of a pair returns to a pool once every view of it is gone.
//
// The clip's play-out faults are honoured: a picture that never arrives or whose transfer fails (each once
// per output), a play-out that never starts, one that falls back to idle pictures in mid-clip.
//
// Threads: nextPicture is called by one thread at a time; views may be released on any thread.

#include "capture/PayloadFormat.h"
#include "platform/srmodule/Playout.h"
#include "platform/srmodule/SimulatedRecorder.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

// One picture on the SDI output.
struct SdiPicture {
    std::shared_ptr<const std::vector<uint8_t>> frame; // holds the picture; never changed while shared
    size_t offset = 0;                                 // of the picture's first byte in frame
    bool lost = false;                                 // a fault keeps the picture from reaching the card
    bool failsTransfer = false;                        // a fault makes the card's transfer of it fail

    const uint8_t *data() const { return frame->data() + offset; }
    static constexpr uint32_t size() { return payload::kPictureBytes8Bit; }
};

class SdiOutput {
public:
    // Idle pictures sent after a start before the clip's first block.
    static constexpr uint32_t kLeadInPictures = 3;

    explicit SdiOutput(std::shared_ptr<SimulatedRecorder> recorder);
    ~SdiOutput();
    SdiOutput(const SdiOutput &) = delete;
    SdiOutput &operator=(const SdiOutput &) = delete;

    SdiPicture nextPicture();

private:
    class PairPool;
    void follow(const SimulatedRecorder::PlayState &state);
    SdiPicture clipPicture(uint64_t number);

    const std::shared_ptr<SimulatedRecorder> recorder;
    std::shared_ptr<PairPool> pool;
    std::shared_ptr<const std::vector<uint8_t>> idle;
    uint64_t startsSeen = 0;
    std::optional<size_t> clip; // the clip whose play-out runs
    std::unique_ptr<Playout> playout;
    uint64_t pictureNumber = 0; // pictures since the play-out started
    std::vector<uint8_t> block; // the last block played, whose memory the next one reuses
    std::shared_ptr<const std::vector<uint8_t>> pair;
    bool secondHalfNext = false;
    std::set<size_t> dropsSpent;            // clips whose lost picture was already lost
    std::set<size_t> transferFailuresSpent; // clips whose failing transfer already failed
};
