#pragma once

// The virtual card's ring DMA: while it runs, the SDI input fills the card's 16 picture buffers with the
// recorder's output, one 8-bit 4:2:2 picture (4,147,200 bytes) each, and a transfer copies the oldest
// captured picture into the caller's buffer. A picture that arrives while all 16 buffers are full is
// dropped and counted. The pace is VANTREL_SIM_SPEED's, read at each start: a multiple of real time, or
// "max", where the input makes a picture only when a buffer is free and so never drops one (a picture the
// recorder's faults lose is still counted as dropped).
//
// The input runs on a feeder thread of its own from start to stop; stop, a new start and destruction end
// it and wait for it. Captured pictures are held as shared views of the recorder's output: the transfer
// is the only copy.
//
// Threads: every operation may be called from any thread.

#include "card/CardTypes.h"
#include "platform/cardlib/InterruptEvent.h"
#include "platform/srmodule/SdiOutput.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class SimulatedRecorder;

namespace cardlib {

struct SimSpeed;

class RingDma {
public:
    // The feeder thread's name, as tools that list threads show it.
    static constexpr char kFeederThreadName[] = "card-feeder";

    // recorder: what the SDI input carries; null gives idle pictures.
    explicit RingDma(std::shared_ptr<SimulatedRecorder> recorder);
    ~RingDma();
    RingDma(const RingDma &) = delete;
    RingDma &operator=(const RingDma &) = delete;

    // Channel mode: 1 capture, 0 display; remembered per channel.
    bool setMode(uint32_t channel, uint32_t mode);
    uint32_t mode(uint32_t channel) const;

    // Prepares the ring for crosspoint, stopping a ring that runs.
    bool init(uint32_t crosspoint);
    // Starts capturing on the prepared crosspoint with empty buffers and zero counts; false when the
    // ring was prepared for another crosspoint or not at all.
    bool start(uint32_t crosspoint);
    // Stops capturing and empties the buffers; true also when nothing ran.
    bool stop(uint32_t crosspoint);
    // The state (running = 5), counts and buffer level; false for a crosspoint the ring is not prepared for.
    bool status(uint32_t crosspoint, AUTOCIRCULATE_STATUS_STRUCT &out) const;
    // Copies the oldest captured picture into transfer.videoBuffer and frees its card buffer. False, and
    // nothing copied or freed, when the ring does not run on transfer.channelSpec, nothing is captured,
    // or the buffer is null or smaller than a picture. False, nothing copied and the picture lost, when
    // the recorder's faults make its transfer fail.
    bool transfer(const AUTOCIRCULATE_TRANSFER_STRUCT &transfer,
                  AUTOCIRCULATE_TRANSFER_STATUS_STRUCT *result);

    // Vertical events: a subscribed event is raised for every picture the input brings, stored or dropped.
    void subscribeVertical(const std::shared_ptr<InterruptEvent> &event);
    void unsubscribeVertical(const std::shared_ptr<InterruptEvent> &event);

private:
    void feed(SimSpeed speed);
    void endFeeder();

    std::mutex control; // serialises init, start and stop, which start and join the feeder
    mutable std::mutex lock;
    std::condition_variable changed; // a buffer was freed or the feeder must stop
    std::deque<SdiPicture> captured;
    std::map<uint32_t, uint32_t> modes;
    std::optional<uint32_t> crosspoint;
    uint32_t state = card::kAutoCirculateDisabled;
    uint64_t processed = 0;
    uint64_t transferred = 0;
    uint32_t dropped = 0;
    bool stopping = false;
    std::vector<std::shared_ptr<InterruptEvent>> verticalSubscribers;

    SdiOutput input; // used by the feeder thread only
    std::thread feeder;
};

} // namespace cardlib
