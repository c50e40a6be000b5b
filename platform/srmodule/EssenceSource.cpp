#include "platform/srmodule/EssenceSource.h"

#include "platform/srmodule/EssenceSizes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr uint32_t kMaxSoundChannels = 16;
// Generated tones: channel k sounds at kToneBaseHz + k x kToneStepHz, at about -6 dBFS.
constexpr double kToneBaseHz = 250.0;
constexpr double kToneStepHz = 125.0;
constexpr double kToneAmplitude = 4'000'000.0;
// Bytes at the head of a generated picture that carry the frame number, big-endian.
constexpr size_t kFrameNumberBytes = 8;
constexpr char kDataItemMark[] = "VTRLDATA";

// Reads count bytes at offset into out; what the file cannot give stays zero.
void readAt(QFile &file, uint64_t offset, uint8_t *out, size_t count) {
    std::fill(out, out + count, uint8_t(0));
    if (file.seek(qint64(offset)))
        file.read(reinterpret_cast<char *>(out), qint64(count));
}

uint8_t bcd(uint32_t value) {
    return uint8_t(((value / 10) % 10) << 4 | (value % 10));
}

} // namespace

EssenceSource::EssenceSource(const ManifestClip &manifestClip)
    : clip(manifestClip.record), frameBytes(pictureFrameBytes(clip)),
      channels(std::min<uint32_t>(clip.soundChannels, kMaxSoundChannels)),
      dataItems(manifestClip.essence.dataItems) {
    if (!manifestClip.essence.pictureFile.isEmpty()) {
        pictureFile = std::make_unique<QFile>(manifestClip.essence.pictureFile);
        pictureFile->open(QIODevice::ReadOnly);
    }
    if (manifestClip.essence.soundFiles.size() == qsizetype(channels)) {
        for (const QString &name : manifestClip.essence.soundFiles) {
            soundFiles.push_back(std::make_unique<QFile>(name));
            soundFiles.back()->open(QIODevice::ReadOnly);
        }
    }
}

void EssenceSource::picture(uint64_t frame, std::span<uint8_t> out) {
    if (out.size() != frameBytes)
        return;
    if (pictureFile) {
        readAt(*pictureFile, frame * frameBytes, out.data(), out.size());
        return;
    }
    // The frame number, then bytes counting up by one from a start the frame chooses. A run that counts up
    // by one never holds the picture key, so the reader's key search cannot stop inside a picture.
    for (size_t i = 0; i < kFrameNumberBytes; ++i)
        out[i] = uint8_t(frame >> (8 * (kFrameNumberBytes - 1 - i)));
    const uint8_t seed = uint8_t(frame * 37 + 11);
    for (size_t i = kFrameNumberBytes; i < out.size(); ++i)
        out[i] = uint8_t(seed + i);
}

uint64_t EssenceSource::samples(uint64_t first, uint64_t count) const {
    return soundSamplesBefore(clip, first + count) - soundSamplesBefore(clip, first);
}

void EssenceSource::sound(uint32_t channel, uint64_t first, uint64_t count, std::vector<uint8_t> &out) {
    if (channel >= channels)
        return;
    const uint64_t firstSample = soundSamplesBefore(clip, first);
    const uint64_t sampleCount = samples(first, count);
    const size_t at = out.size();
    out.resize(at + sampleCount * kSoundSampleBytes);
    uint8_t *samplesOut = out.data() + at;
    if (!soundFiles.empty()) {
        readAt(*soundFiles[channel], firstSample * kSoundSampleBytes, samplesOut,
               sampleCount * kSoundSampleBytes);
        return;
    }
    // The tone repeats every second: runs of its one second, from the clip's sample position on.
    const std::vector<uint8_t> &second = toneSecond(channel);
    uint64_t sample = firstSample % kSoundSampleRate;
    for (uint64_t done = 0; done < sampleCount;) {
        const uint64_t run = std::min<uint64_t>(sampleCount - done, kSoundSampleRate - sample);
        std::copy_n(second.begin() + ptrdiff_t(sample * kSoundSampleBytes), run * kSoundSampleBytes,
                    samplesOut + done * kSoundSampleBytes);
        done += run;
        sample = 0;
    }
}

const std::vector<uint8_t> &EssenceSource::toneSecond(uint32_t channel) {
    if (tones.size() <= channel)
        tones.resize(channel + 1);
    std::vector<uint8_t> &second = tones[channel];
    if (!second.empty())
        return second;
    second.resize(size_t(kSoundSampleRate) * kSoundSampleBytes);
    const double step = 2.0 * std::numbers::pi * (kToneBaseHz + kToneStepHz * channel) / kSoundSampleRate;
    for (uint32_t sample = 0; sample < kSoundSampleRate; ++sample) {
        const int32_t value = int32_t(std::lround(kToneAmplitude * std::sin(step * double(sample))));
        for (uint32_t b = 0; b < kSoundSampleBytes; ++b)
            second[sample * kSoundSampleBytes + b] = uint8_t(uint32_t(value) >> (8 * b));
    }
    return second;
}

std::vector<uint8_t> EssenceSource::dataItem(uint64_t frame) const {
    std::vector<uint8_t> item(kDataItemBytes, 0);
    std::copy(std::begin(kDataItemMark), std::end(kDataItemMark) - 1, item.begin());
    for (size_t i = 0; i < 8; ++i)
        item[8 + i] = uint8_t(frame >> (8 * (7 - i)));
    const uint32_t code = timeCode(frame);
    for (size_t i = 0; i < 4; ++i)
        item[16 + i] = uint8_t(code >> (8 * (3 - i)));
    return item;
}

uint32_t EssenceSource::timeCode(uint64_t frame) const {
    const EditRate rate = clipEditRate(clip);
    const uint64_t fps = std::max<uint64_t>(1, (rate.numerator + rate.denominator / 2) / rate.denominator);
    // Drop-frame counting leaves out the first fps / 15 frame numbers of every minute but each tenth.
    const bool drop = clip.dropFrame != 0 && rate.denominator == 1001 && (fps == 30 || fps == 60);
    const uint64_t dropped = drop ? fps / 15 : 0;
    const ClipTimecode &start = clip.startTimecode;
    const uint64_t minutes = uint64_t(start.hours) * 60 + start.minutes;
    uint64_t n =
        (minutes * 60 + start.seconds) * fps + start.frames - dropped * (minutes - minutes / 10) + frame;
    if (drop) {
        const uint64_t perTenMinutes = fps * 600 - dropped * 9;
        const uint64_t perMinute = fps * 60 - dropped;
        const uint64_t tens = n / perTenMinutes;
        const uint64_t rest = n % perTenMinutes;
        n += dropped * 9 * tens + (rest > dropped ? dropped * ((rest - dropped) / perMinute) : 0);
    }
    const uint64_t seconds = n / fps;
    return uint32_t(bcd(uint32_t(seconds / 3600 % 24))) << 24 |
           uint32_t(bcd(uint32_t(seconds / 60 % 60))) << 16 | uint32_t(bcd(uint32_t(seconds % 60))) << 8 |
           bcd(uint32_t(n % fps));
}
