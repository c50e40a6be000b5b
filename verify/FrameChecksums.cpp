#include "verify/FrameChecksums.h"

#include <xxhash.h>

uint64_t checksumOf(std::span<const uint8_t> bytes) {
    return XXH3_64bits(bytes.data(), bytes.size());
}

FrameChecksum checksumOf(const SMDKEditUnit &unit) {
    FrameChecksum checksum;
    checksum.picture = checksumOf(unit.picture);
    for (const std::span<const uint8_t> channel : unit.sound)
        checksum.sound.push_back(checksumOf(channel));
    checksum.data = checksumOf(unit.data);
    if (!unit.userTimestamp.empty())
        checksum.timeStamp = checksumOf(unit.userTimestamp);
    return checksum;
}
