#include "platform/cardlib/RingDma.h"

#include "platform/cardlib/SimSpeed.h"
#include "threads/ThreadName.h"

#include <algorithm>
#include <cstring>

namespace cardlib {

RingDma::RingDma(std::shared_ptr<SimulatedRecorder> recorder) : input(std::move(recorder)) {}

RingDma::~RingDma() {
    std::lock_guard serial(control);
    endFeeder();
}

bool RingDma::setMode(uint32_t channel, uint32_t channelMode) {
    std::lock_guard guard(lock);
    modes[channel] = channelMode;
    return true;
}

uint32_t RingDma::mode(uint32_t channel) const {
    std::lock_guard guard(lock);
    const auto found = modes.find(channel);
    return found == modes.end() ? 0 : found->second;
}

bool RingDma::init(uint32_t ringCrosspoint) {
    std::lock_guard serial(control);
    endFeeder();
    std::lock_guard guard(lock);
    crosspoint = ringCrosspoint;
    state = card::kAutoCirculateInitializing;
    return true;
}

bool RingDma::start(uint32_t ringCrosspoint) {
    std::lock_guard serial(control);
    {
        std::lock_guard guard(lock);
        if (crosspoint != ringCrosspoint)
            return false;
        if (state == card::kAutoCirculateRunning)
            return true;
    }
    endFeeder();
    {
        std::lock_guard guard(lock);
        captured.clear();
        processed = transferred = 0;
        dropped = 0;
        stopping = false;
        state = card::kAutoCirculateRunning;
    }
    feeder = std::thread(&RingDma::feed, this, simSpeedFromEnvironment());
    return true;
}

bool RingDma::stop(uint32_t ringCrosspoint) {
    std::lock_guard serial(control);
    {
        std::lock_guard guard(lock);
        if (crosspoint && crosspoint != ringCrosspoint)
            return false;
    }
    endFeeder();
    return true;
}

// Called with control held: stops the feeder, waits for it and empties the buffers.
void RingDma::endFeeder() {
    {
        std::lock_guard guard(lock);
        stopping = true;
    }
    changed.notify_all();
    if (feeder.joinable())
        feeder.join();
    std::lock_guard guard(lock);
    captured.clear();
    if (state == card::kAutoCirculateRunning)
        state = card::kAutoCirculateDisabled;
}

bool RingDma::status(uint32_t ringCrosspoint, AUTOCIRCULATE_STATUS_STRUCT &out) const {
    std::lock_guard guard(lock);
    if (crosspoint != ringCrosspoint)
        return false;
    out = AUTOCIRCULATE_STATUS_STRUCT{};
    out.crosspoint = ringCrosspoint;
    out.state = state;
    out.startFrame = 0;
    out.endFrame = int32_t(card::kCardPictureBuffers) - 1;
    out.activeFrame = processed > 0 ? int32_t((processed - 1) % card::kCardPictureBuffers) : -1;
    out.framesProcessed = processed;
    out.framesDropped = dropped;
    out.bufferLevel = uint32_t(captured.size());
    return true;
}

bool RingDma::transfer(const AUTOCIRCULATE_TRANSFER_STRUCT &request,
                       AUTOCIRCULATE_TRANSFER_STATUS_STRUCT *result) {
    if (request.videoBuffer == nullptr || request.videoBufferSize < SdiPicture::size())
        return false;
    SdiPicture picture;
    AUTOCIRCULATE_TRANSFER_STATUS_STRUCT done;
    {
        std::lock_guard guard(lock);
        if (crosspoint != request.channelSpec || state != card::kAutoCirculateRunning || captured.empty())
            return false;
        picture = std::move(captured.front());
        captured.pop_front();
        done.state = state;
        done.transferFrame = int32_t(transferred++ % card::kCardPictureBuffers);
        done.bufferLevel = uint32_t(captured.size());
        done.framesProcessed = uint32_t(processed);
        done.framesDropped = dropped;
        done.capturedBytes = SdiPicture::size();
    }
    changed.notify_all();
    if (picture.failsTransfer)
        return false;
    std::memcpy(request.videoBuffer, picture.data(), SdiPicture::size());
    if (result != nullptr)
        *result = done;
    return true;
}

// The SDI input: takes the recorder's next picture at the chosen pace and stores it in a free buffer.
void RingDma::feed(SimSpeed speed) {
    const ThreadName name(kFeederThreadName);
    const auto interval = speed.pictureInterval();
    auto due = std::chrono::steady_clock::now();
    std::unique_lock guard(lock);
    while (!stopping) {
        if (speed.max) {
            changed.wait(guard, [this] { return stopping || captured.size() < card::kCardPictureBuffers; });
        } else {
            // Pictures come at a steady pace; a late one does not make the next come sooner than it would.
            due = std::max(due + interval, std::chrono::steady_clock::now() - interval);
            changed.wait_until(guard, due, [this] { return stopping; });
        }
        if (stopping)
            break;
        guard.unlock();
        SdiPicture picture = input.nextPicture();
        guard.lock();
        if (stopping)
            break;
        for (const auto &event : verticalSubscribers)
            event->raise();
        if (picture.lost || captured.size() >= card::kCardPictureBuffers) {
            ++dropped;
            continue;
        }
        captured.push_back(std::move(picture));
        ++processed;
    }
}

void RingDma::subscribeVertical(const std::shared_ptr<InterruptEvent> &event) {
    std::lock_guard guard(lock);
    if (std::find(verticalSubscribers.begin(), verticalSubscribers.end(), event) == verticalSubscribers.end())
        verticalSubscribers.push_back(event);
}

void RingDma::unsubscribeVertical(const std::shared_ptr<InterruptEvent> &event) {
    std::lock_guard guard(lock);
    std::erase(verticalSubscribers, event);
}

} // namespace cardlib
