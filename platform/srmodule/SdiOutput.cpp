#include "platform/srmodule/SdiOutput.h"

#include "platform/srmodule/PayloadEmbedding.h"

#include <mutex>

// Picture-pair buffers that come back when the last view of them is released, so that a play-out at
// full speed allocates a handful of pairs rather than one per block.
class SdiOutput::PairPool : public std::enable_shared_from_this<PairPool> {
public:
    std::shared_ptr<std::vector<uint8_t>> take() {
        std::unique_ptr<std::vector<uint8_t>> buffer;
        {
            std::lock_guard guard(lock);
            if (!free.empty()) {
                buffer = std::move(free.back());
                free.pop_back();
            }
        }
        if (!buffer)
            buffer = std::make_unique<std::vector<uint8_t>>(payload::picturePairBytes(true));
        std::weak_ptr<PairPool> owner = weak_from_this();
        return std::shared_ptr<std::vector<uint8_t>>(
            buffer.release(), [owner](std::vector<uint8_t> *released) {
                std::unique_ptr<std::vector<uint8_t>> back(released);
                if (const std::shared_ptr<PairPool> pool = owner.lock()) {
                    std::lock_guard guard(pool->lock);
                    pool->free.push_back(std::move(back));
                }
            });
    }

private:
    std::mutex lock;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> free;
};

SdiOutput::SdiOutput(std::shared_ptr<SimulatedRecorder> recorder)
    : recorder(std::move(recorder)), pool(std::make_shared<PairPool>()),
      idle(std::make_shared<const std::vector<uint8_t>>(SdiPicture::size(), uint8_t(0))) {}

SdiOutput::~SdiOutput() = default;

void SdiOutput::follow(const SimulatedRecorder::PlayState &state) {
    const bool restarted = state.playing && state.starts != startsSeen;
    startsSeen = state.starts;
    if (!state.playing || restarted || state.clip != clip) {
        playout.reset();
        pair.reset();
        secondHalfNext = false;
        pictureNumber = 0;
        clip.reset();
    }
    if (restarted && state.clip && *state.clip < recorder->manifest().clips.size()) {
        clip = state.clip;
        playout = std::make_unique<Playout>(recorder->manifest().clips[*clip]);
    }
}

SdiPicture SdiOutput::nextPicture() {
    if (recorder)
        follow(recorder->playState());
    if (!playout)
        return {idle, 0, false};
    const PlayoutFaults &faults = recorder->manifest().clips[*clip].playoutFaults;
    const uint64_t number = pictureNumber++;
    const bool stopped =
        faults.neverPlays || (faults.stopsPlayingAfter && number >= *faults.stopsPlayingAfter);
    SdiPicture picture = stopped ? SdiPicture{idle, 0, false} : clipPicture(number);
    if (faults.dropsPicture && number == *faults.dropsPicture && dropsSpent.insert(*clip).second)
        picture.lost = true;
    if (faults.failsTransferOfPicture && number == *faults.failsTransferOfPicture &&
        transferFailuresSpent.insert(*clip).second)
        picture.failsTransfer = true;
    return picture;
}

// The clip's next picture: the lead-in, then the two halves of each block, then idle pictures.
SdiPicture SdiOutput::clipPicture(uint64_t number) {
    if (number < kLeadInPictures)
        return {idle, 0, false};
    if (secondHalfNext) {
        secondHalfNext = false;
        return {pair, SdiPicture::size(), false};
    }
    block = playout->nextBlock(std::move(block));
    if (block.empty())
        return {idle, 0, false};
    std::shared_ptr<std::vector<uint8_t>> pictures = pool->take();
    EmbedPayload(block, *pictures, true);
    pair = std::move(pictures);
    secondHalfNext = true;
    return {pair, 0, false};
}
