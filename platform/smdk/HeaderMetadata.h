#pragma once

// The header metadata of an OP1a file with one frame-wrapped essence container: primer pack, Preface,
// Identification, Content Storage, Essence Container Data, a Material Package and a File Package with
// time code, picture, sound (one track per channel) and ANC data tracks, and their descriptors, and the
// material package's user comments (tagged values with a UTF-16 string value). Every value comes from the
// package metadata getters; `duration` is given separately (-1 while unknown).

#include "mxf/SMDKMasterMetadata.h"
#include "platform/smdk/Labels.h"
#include "platform/smdk/LocalSet.h"

#include <cstdint>
#include <vector>

namespace smdk {

// Track plan, the same in both packages.
inline constexpr uint32_t timecodeTrackId = 1;
inline constexpr uint32_t pictureTrackId = 2;
constexpr uint32_t soundTrackId(uint32_t channel) {
    return 3 + channel;
}
constexpr uint32_t dataTrackId(uint32_t channelCount) {
    return 3 + channelCount;
}

// The essence stream and its index.
inline constexpr uint32_t essenceBodySid = 1;
inline constexpr uint32_t essenceIndexSid = 2;

// Sound channels a content package can carry.
inline constexpr int32_t maximumSoundChannels = 16;

// Key of the sound element of `channel` among `channelCount` channels.
UL soundElementKey(uint32_t channelCount, uint32_t channel);
// The track number that links a file package track to its elements: bytes 12 to 15 of their key.
uint32_t trackNumberOf(const UL &elementKey);
// The essence container labels of the file (Preface and partition packs).
std::vector<UL> essenceContainerLabels(uint32_t channelCount);
// The MPEG-4 Visual picture coding label of a profile-and-level indication.
UL pictureCodingLabel(uint8_t profileAndLevel);

// Primer pack and every header metadata set, Preface first. Set instance UIDs derive from `uidBase`, so
// the same base gives the same UIDs on every call. Throws util::assertion_failure "valid edit rate" when
// the edit rate is not positive and "valid sound channel count" outside 0 to 16 channels; "item fits a
// local set" for a user comment whose name or value (with its 17-byte type head) exceeds 65,535 bytes.
std::vector<uint8_t> encodeHeaderMetadata(const SMDKMasterMetadata &metadata, const Uuid &uidBase,
                                          int64_t duration);

} // namespace smdk
