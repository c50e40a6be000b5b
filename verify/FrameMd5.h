#pragma once

// NAME.framemd5: one line per essence element of a file, in the layout FFmpeg's framemd5 muxer (version 2)
// prints for `ffmpeg -i NAME.mxf -map 0 -c copy -f framemd5 -`, so that a file can be checked element by
// element with FFmpeg alone. Streams are numbered as FFmpeg numbers the file's tracks: the picture (0), each
// sound channel (1..n), the data track (n + 1). Lines come in FFmpeg's order: by time, then by stream.
//
// The list is built from the elements as they are handed to the MXF library and written to its paths (an
// in-progress name beside each copy of the file); commit() writes the rest and syncs each to disk, and a
// list never committed is removed. A path whose writes fail does not hold up the others.
// Threads: one thread at a time.

#include "mxf/DurableFile.h"
#include "recorder/SoundFormat.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct FrameMd5Layout {
    QString software; // "#software:" line: the tool and its version
    int32_t editRateNumerator = 0, editRateDenominator = 1;
    int32_t width = 0, height = 0;                      // of the whole frame
    int32_t aspectNumerator = 0, aspectDenominator = 1; // display aspect ratio
    uint32_t soundChannels = 0;
    int32_t soundSamplingRate = kSoundSamplingRate;
    uint32_t soundSampleBytes = kSoundBitsPerSample / 8;
};

class FrameMd5List {
public:
    FrameMd5List(const QStringList &paths, FrameMd5Layout layout);
    ~FrameMd5List();

    // One edit unit: the picture element, each sound channel's element and the data element, as the file
    // holds them. The first edit unit's picture gives the header's extradata line.
    void addEditUnit(std::span<const uint8_t> picture, const std::vector<std::span<const uint8_t>> &sound,
                     std::span<const uint8_t> data);
    // Writes what is still held back and syncs the list to disk at each path: by path, nothing on success,
    // else why not.
    std::vector<std::optional<QString>> commit();

private:
    struct Packet {
        uint32_t stream = 0;
        int64_t dts = 0, duration = 0;
        uint32_t size = 0;
        std::array<uint8_t, 16> md5{};
    };
    void writeHeader(std::span<const uint8_t> firstPicture);
    void add(uint32_t stream, int64_t dts, int64_t duration, std::span<const uint8_t> bytes);
    // Writes every held packet that no later packet can precede.
    void release(bool all);
    bool before(const Packet &a, const Packet &b) const;

    void write(const QByteArray &bytes);

    std::vector<std::unique_ptr<SyncedFileWriter>> files;
    bool committed = false;
    FrameMd5Layout layout;
    bool headerWritten = false;
    int64_t editUnits = 0, soundSamples = 0;
    std::vector<Packet> held;
    std::vector<Packet> last; // the latest packet of each stream
};
