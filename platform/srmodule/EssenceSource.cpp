#include "platform/srmodule/EssenceSource.h"

#include "platform/srmodule/EssenceSizes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Generated tones: channel k sounds at kToneBaseHz + k x kToneStepHz, at about -6 dBFS.
constexpr double kToneBaseHz = 250.0;
constexpr double kToneStepHz = 125.0;
constexpr double kToneAmplitude = 4'000'000.0;
// Full scale of 24-bit samples, which a tone's level refers to, and the samples a louder one is held at.
constexpr double kFullScale = 8'388'608.0;
constexpr int32_t kHighestSample = 8'388'607;
constexpr int32_t kLowestSample = -8'388'608;
constexpr uint8_t kSize720 = 0;
constexpr uint8_t kSampling422 = 0;
// A generated data item is one SMPTE 436M ANC data element holding one 8-bit ANC packet (SMPTE 291) in a
// VANC line: packet count 1; line number, wrapping type 1 (VANC frame), sample coding 4 (8-bit luma),
// sample count 8; the array header (8 elements of 1 byte); DID, SDID, data count 4, the frame number
// (32 bits, big-endian) and the 8-bit checksum of what precedes it in the packet.
constexpr uint16_t kAncLine = 9;
constexpr uint8_t kAncWrappingVancFrame = 1;
constexpr uint8_t kAncCodingLuma8Bit = 4;
constexpr uint8_t kAncDid = 0x51; // a user application DID
constexpr uint8_t kAncSdid = 0x01;
constexpr uint8_t kAncUserWords = 4;
constexpr uint16_t kAncPacketBytes = 3 + kAncUserWords + 1;

// Reads count bytes at offset into out; what the file cannot give stays zero.
void readAt(QFile &file, uint64_t offset, uint8_t *out, size_t count) {
    std::fill(out, out + count, uint8_t(0));
    if (file.seek(qint64(offset)))
        file.read(reinterpret_cast<char *>(out), qint64(count));
}

uint8_t bcd(uint32_t value) {
    return uint8_t(((value / 10) % 10) << 4 | (value % 10));
}

// The coded picture format of a clip: 10-bit whatever its depth code, the only depth FFmpeg decodes.
StudioFormat pictureFormat(const ClipRecord &clip, uint32_t frameBytes) {
    const EditRate rate = clipEditRate(clip);
    StudioFormat format;
    if (clip.size == kSize720) {
        format.width = 1280;
        format.height = 720;
    }
    format.fullChroma = clip.sampling != kSampling422;
    format.frameBytes = frameBytes;
    format.rateNumerator = rate.numerator;
    format.rateDenominator = rate.denominator;
    return format;
}

} // namespace

EssenceSource::EssenceSource(const ManifestClip &manifestClip)
    : clip(manifestClip.record), frameBytes(pictureFrameBytes(clip)),
      channels(std::min<uint32_t>(clip.soundChannels, kMaxSoundChannels)),
      dataItems(manifestClip.essence.dataItems), timecodeJumpAt(manifestClip.playoutFaults.timecodeJumpAt),
      timecodeJumpFrames(manifestClip.playoutFaults.timecodeJumpFrames),
      channelSound(manifestClip.essence.sound) {
    channelSound.resize(channels);
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
    if (!pictures)
        pictures = std::make_unique<TestPictureGenerator>(pictureFormat(clip, frameBytes));
    pictures->generate({frame, timeCode(frame), dropFrameCounting()}, out);
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
    const ChannelSound &content = channelSound[channel];
    if (!content.silentFrom)
        return;
    // The silent stretch, as far as it overlaps the samples asked for.
    const uint64_t silentFirst = std::max(soundSamplesBefore(clip, *content.silentFrom), firstSample);
    const uint64_t silentEnd =
        std::min(soundSamplesBefore(clip, uint64_t(*content.silentFrom) + content.silentFrames),
                 firstSample + sampleCount);
    if (silentFirst < silentEnd)
        std::fill_n(samplesOut + (silentFirst - firstSample) * kSoundSampleBytes,
                    (silentEnd - silentFirst) * kSoundSampleBytes, uint8_t(0));
}

const std::vector<uint8_t> &EssenceSource::toneSecond(uint32_t channel) {
    if (tones.size() <= channel)
        tones.resize(channel + 1);
    std::vector<uint8_t> &second = tones[channel];
    if (!second.empty())
        return second;
    second.resize(size_t(kSoundSampleRate) * kSoundSampleBytes);
    const ChannelSound &content = channelSound[channel];
    if (content.silence)
        return second;
    const double hz = content.tone ? double(content.tone->frequencyHz) : kToneBaseHz + kToneStepHz * channel;
    const double amplitude =
        content.tone ? kFullScale * std::pow(10.0, content.tone->levelDbfs / 20.0) : kToneAmplitude;
    const double step = 2.0 * std::numbers::pi * hz / kSoundSampleRate;
    for (uint32_t sample = 0; sample < kSoundSampleRate; ++sample) {
        const int32_t value = int32_t(std::clamp<long>(
            std::lround(amplitude * std::sin(step * double(sample))), kLowestSample, kHighestSample));
        for (uint32_t b = 0; b < kSoundSampleBytes; ++b)
            second[sample * kSoundSampleBytes + b] = uint8_t(uint32_t(value) >> (8 * b));
    }
    return second;
}

std::vector<uint8_t> EssenceSource::dataItem(uint64_t frame) const {
    std::vector<uint8_t> item;
    item.reserve(kDataItemBytes);
    const auto put = [&item](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            item.push_back(uint8_t(value >> (8 * i)));
    };
    put(1, 2);
    put(kAncLine, 2);
    put(kAncWrappingVancFrame, 1);
    put(kAncCodingLuma8Bit, 1);
    put(kAncPacketBytes, 2);
    put(kAncPacketBytes, 4);
    put(1, 4);
    const size_t packet = item.size();
    put(kAncDid, 1);
    put(kAncSdid, 1);
    put(kAncUserWords, 1);
    put(uint32_t(frame), kAncUserWords);
    uint8_t checksum = 0;
    for (size_t i = packet; i < item.size(); ++i)
        checksum = uint8_t(checksum + item[i]);
    item.push_back(checksum);
    return item;
}

bool EssenceSource::dropFrameCounting() const {
    const EditRate rate = clipEditRate(clip);
    const uint64_t fps = (rate.numerator + rate.denominator / 2) / rate.denominator;
    return clip.dropFrame != 0 && rate.denominator == 1001 && (fps == 30 || fps == 60);
}

uint32_t EssenceSource::timeCode(uint64_t frame) const {
    if (timecodeJumpAt && frame >= *timecodeJumpAt)
        frame += timecodeJumpFrames;
    const EditRate rate = clipEditRate(clip);
    const uint64_t fps = std::max<uint64_t>(1, (rate.numerator + rate.denominator / 2) / rate.denominator);
    // Drop-frame counting leaves out the first fps / 15 frame numbers of every minute but each tenth.
    const bool drop = dropFrameCounting();
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
