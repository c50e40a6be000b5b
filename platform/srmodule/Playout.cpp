#include "platform/srmodule/Playout.h"

#include "platform/srmodule/BlockWriter.h"

#include <algorithm>

using namespace payload;

Playout::Playout(const ManifestClip &clip, uint32_t blockSize)
    : source(clip), faults(clip.playoutFaults), blockSize(blockSize), quality(clip.record.codec),
      pendingPicture(source.pictureBytes()), picture(source.pictureBytes()) {}

std::span<const uint8_t> Playout::sentPicture(uint64_t frame, std::span<const uint8_t> bytes) const {
    if (!faults.shortPictureAt || frame != *faults.shortPictureAt)
        return bytes;
    // At least one byte stays, so that the element is still there to be read.
    return bytes.first(bytes.size() - std::min<size_t>(PlayoutFaults::kShortPictureBytes, bytes.size() - 1));
}

uint32_t Playout::indexEntries() const {
    return source.soundChannels() + (source.hasDataItems() ? 1 : 0) + 1;
}

uint64_t Playout::bytesBeforeRegion(uint64_t first, uint32_t count) const {
    const uint64_t soundBytes =
        kSoundFieldBytes + kSoundHeaderBytes + kSoundSampleBytes * source.samples(first, count);
    const uint64_t dataBytes = source.hasDataItems() ? uint64_t(EssenceSource::kDataItemStride) * count : 0;
    return indexSize(indexEntries()) + source.soundChannels() * soundBytes + dataBytes;
}

std::optional<Playout::Plan> Playout::plan() const {
    const uint64_t f = source.pictureBytes();
    const uint64_t h = kPictureHeaderBytes;
    const uint64_t whole = pictureElementBytes(uint32_t(f), quality);
    const uint32_t continued = pending ? 1 : 0;
    const uint64_t continuation = pending ? f - pendingSent + trailerBytes(quality) : 0;
    const uint64_t first = pending ? pendingFrame : nextFrame;
    const uint64_t left = source.frameCount() - nextFrame;
    // Take the most whole elements that fit behind sound and data sized for them.
    for (uint32_t m = uint32_t(std::min<uint64_t>(left, kMaxPictureElements - continued));; --m) {
        const uint32_t handedOn = continued + m;
        // A continuation needs an element behind it, or the reader cannot find where it ends; after the
        // clip's last frame that is a dummy the reader never reaches.
        const bool dummy = pending && m == 0 && left == 0;
        const uint64_t end =
            bytesBeforeRegion(first, handedOn) + continuation + (m + (dummy ? 1 : 0)) * whole;
        if (handedOn > 0 && end <= blockSize && (!pending || m > 0 || dummy)) {
            const uint64_t space = blockSize - end;
            // The reader tests elements from the third on for a cut; a cut element has at least one and
            // fewer than all of its picture bytes in the block.
            const bool cut = !dummy && m < left && m > 0 && handedOn >= 2 && handedOn < kMaxPictureElements &&
                             space > h && space < h + f;
            return Plan{m, cut, dummy};
        }
        if (m == 0)
            return std::nullopt;
    }
}

std::vector<uint8_t> Playout::nextBlock(std::vector<uint8_t> storage) {
    if (finished() || layoutFailed)
        return {};
    const std::optional<Plan> layout = plan();
    if (!layout) {
        layoutFailed = true;
        return {};
    }
    const uint64_t first = pending ? pendingFrame : nextFrame;
    const uint32_t handedOn = (pending ? 1 : 0) + layout->whole;
    BlockWriter writer(quality, indexEntries(), blockSize, std::move(storage));
    bool written = true;
    for (uint32_t channel = 0; channel < source.soundChannels(); ++channel) {
        samples.clear();
        source.sound(channel, first, handedOn, samples);
        if (channel == 0 && faults.shortSoundAt && *faults.shortSoundAt >= first &&
            *faults.shortSoundAt < first + handedOn)
            samples.resize(
                samples.size() -
                std::min<size_t>(samples.size(), size_t(faults.shortSoundSamples) * kSoundSampleBytes));
        written = written && writer.addSound(channel, uint32_t(samples.size() / kSoundSampleBytes), samples);
    }
    if (source.hasDataItems()) {
        std::vector<std::vector<uint8_t>> items;
        for (uint32_t i = 0; i < handedOn; ++i)
            items.push_back(source.dataItem(first + i));
        written = written && writer.addData(items, EssenceSource::kDataItemStride);
    }
    written = written && writer.beginPictureRegion(pending);
    if (pending) {
        const std::span<const uint8_t> sent = sentPicture(pendingFrame, pendingPicture);
        written =
            written && writer.addContinuation(sent.subspan(std::min<size_t>(pendingSent, sent.size() - 1)));
    }
    for (uint32_t i = 0; i < layout->whole; ++i, ++nextFrame) {
        source.picture(nextFrame, picture);
        written = written && writer.addPicture(source.timeCode(nextFrame), sentPicture(nextFrame, picture));
    }
    if (layout->dummy) {
        source.picture(source.frameCount(), picture);
        written = written && writer.addPicture(source.timeCode(source.frameCount()), picture);
    }
    pending = false;
    if (layout->cut) {
        source.picture(nextFrame, pendingPicture);
        pendingSent = writer.addCutPicture(source.timeCode(nextFrame), pendingPicture);
        written = written && pendingSent > 0;
        pending = true;
        pendingFrame = nextFrame++;
    }
    written = written && writer.endPictureRegion();
    if (!written) {
        layoutFailed = true;
        return {};
    }
    return std::move(writer).finish();
}
