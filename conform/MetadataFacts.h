#pragma once

// What the conformance check takes from a partition's header metadata: the material package's UMID, the
// tracks of the material and file packages with their durations, and the picture and sound descriptors.
// References between sets are followed by instance UID; a set that is referred to and absent makes the
// metadata unreadable.

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace conform {

struct Rational {
    int32_t numerator = 0, denominator = 0;
    bool operator==(const Rational &) const = default;
};

struct TrackFacts {
    bool material = false; // a material package track, else a file package track
    uint32_t id = 0, number = 0;
    int64_t duration = -1; // -1: its sequence gives none
    Rational editRate;
    bool operator==(const TrackFacts &) const = default;
};

struct PictureFacts {
    uint32_t width = 0, height = 0; // stored
    uint8_t frameLayout = 0;
    Rational sampleRate;
    uint32_t horizontalSubsampling = 0, componentDepth = 0;
    bool operator==(const PictureFacts &) const = default;
};

struct SoundFacts {
    Rational samplingRate;
    uint32_t channels = 0, bits = 0;
    bool operator==(const SoundFacts &) const = default;
};

// A basic package UMID (SMPTE 330), 32 bytes.
using PackageUmid = std::array<uint8_t, 32>;

struct MetadataFacts {
    std::vector<TrackFacts> tracks;
    std::optional<PictureFacts> picture;
    std::vector<SoundFacts> sounds;
    std::optional<PackageUmid> materialPackage; // the material package's UMID; nothing: none, or malformed
    bool operator==(const MetadataFacts &) const = default;
};

// The facts of the header metadata `bytes` (primer and sets); nothing, with the reason in `problem`, when a
// set does not split into items or a package's track or a track's sequence is missing.
std::optional<MetadataFacts> readMetadataFacts(std::span<const uint8_t> bytes, QString &problem);

} // namespace conform
