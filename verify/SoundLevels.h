#pragma once

// The sound check of a transfer, taken from the samples as they are handed to the MXF library, one frame
// at a time (24-bit little-endian samples, one run of them per channel). Per channel: the peak and the RMS
// level in dBFS, both against full scale 2^23 (so a sine whose peak is at L dBFS has an RMS of L - 3.01 dB),
// the clipped samples (those at full scale: +8388607 or -8388608), every silent run and whether the channel
// is silent throughout. A frame of a channel is silent when its peak is at or below -60 dBFS; a silent run
// is a stretch of consecutive silent frames that holds at least one second of samples (48,000), named by
// its first frame and the lead-in time code of that frame; a channel is silent throughout when every frame
// of it is silent. Only a few numbers per channel and the runs found are held, never the samples.
//
// Threads: one thread at a time.

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

struct SilentRun {
    uint64_t startFrame = 0; // from 0
    QString startTimeCode;   // "HH:MM:SS:FF" ("HH:MM:SS;FF" for drop frame)
    uint64_t frames = 0;
};

struct ChannelLevels {
    uint32_t peak = 0; // the largest sample magnitude, 0 to 8388608
    double sumOfSquares = 0;
    uint64_t samples = 0;
    uint64_t clippedSamples = 0;
    std::vector<SilentRun> silentRuns;
    bool silentThroughout = false;

    // 20 log10(peak / 2^23); minus infinity for a channel of zeros.
    double peakDbfs() const;
    // 20 log10(RMS / 2^23); minus infinity for a channel of zeros.
    double rmsDbfs() const;
};

class SoundLevels {
public:
    // A frame's silence threshold: -60 dBFS is a magnitude of 8388.6.
    static constexpr uint32_t kSilentPeak = 8388;
    // Samples a silent run must hold: one second at 48 kHz.
    static constexpr uint64_t kSilentRunSamples = 48'000;

    // channels: the channels every frame brings; dropFrame: how time codes are written.
    SoundLevels(uint32_t channels, bool dropFrame);

    // One frame: its lead-in time code (HH MM SS FF, BCD, most significant byte first) and its samples by
    // channel. Channels past the count given at construction are ignored; a channel not given has no
    // samples in this frame.
    void addFrame(uint32_t timeCode, std::span<const std::span<const uint8_t>> channels);

    // The levels of every channel over the frames so far; a silent run still going on at the last frame
    // ends there.
    std::vector<ChannelLevels> result() const;

private:
    struct Channel {
        ChannelLevels levels;
        // The silent frames up to the last one, when it was silent.
        uint64_t runFrames = 0;
        uint64_t runSamples = 0;
        uint32_t runTimeCode = 0;
        uint64_t silentFrames = 0;
    };

    // Ends the channel's silent run before frame `end`, keeping it when it was long enough.
    void endRun(Channel &channel, uint64_t end) const;

    std::vector<Channel> channelState;
    const bool dropFrame;
    uint64_t frames = 0;
};

// The report's "sound": per channel (from 1) its peak and RMS in dBFS to 0.01 dB (null for a channel of
// zeros), clipped samples, silent runs and whether it is silent throughout; over the clip the highest
// peak and the numbers of the silent and clipped channels; and the silence threshold.
QJsonObject soundJson(const std::vector<ChannelLevels> &channels);
// One line for people: "8 channels, peak -6.43 dBFS, 2 silent channels (3, 4), 1 clipped channel (5)";
// silent and clipped channels are named only when there are any.
QString soundSummary(const std::vector<ChannelLevels> &channels);
// What needs a look, or nothing: "silent throughout: channels 3, 4; clipped: channel 5 (4800 samples)".
QString soundWarning(const std::vector<ChannelLevels> &channels);
