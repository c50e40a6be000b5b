#pragma once

// Whether every pointer of a parsed record, with its length, lies inside the block it was parsed from.
// Shared by the frame index tests and its fuzz target.

#include "capture/FrameIndex.h"

#include <cstddef>
#include <cstdint>

inline bool rangeInside(const uint8_t *pointer, int64_t length, const uint8_t *block, size_t blockSize) {
    if (pointer == nullptr)
        return length <= 0;
    if (pointer < block || pointer > block + blockSize || length < 0)
        return false;
    return uint64_t(length) <= uint64_t(block + blockSize - pointer);
}

inline bool recordLiesInsideBlock(const FrameIndex &record, const uint8_t *block, size_t blockSize) {
    if (record.block != block || record.pictureCount > 10)
        return false;
    for (const IndexElement &sound : record.sound) {
        if (!rangeInside(sound.start, sound.payload ? 4 + int64_t(sound.length) : 0, block, blockSize) ||
            !rangeInside(sound.payload, sound.length, block, blockSize))
            return false;
    }
    if (record.data.start != nullptr ||
        !rangeInside(record.data.payload, record.data.length, block, blockSize))
        return false;
    for (uint32_t i = 0; i < record.pictureCount; ++i) {
        const VideoElement &picture = record.pictures[i];
        if (picture.payload == nullptr || !rangeInside(picture.payload, picture.length, block, blockSize) ||
            !rangeInside(picture.start, picture.start ? 1044 : 0, block, blockSize) ||
            !rangeInside(picture.key, picture.key ? 16 : 0, block, blockSize))
            return false;
    }
    return true;
}
