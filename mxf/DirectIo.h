#pragma once

// What reading and writing a file with O_DIRECT needs: the file's alignment and memory aligned to it.

#include <cstddef>
#include <memory>

// The alignment a direct transfer on `descriptor` needs, of file offsets and memory alike, where the
// kernel tells it (statx STATX_DIOALIGN); 4096 otherwise, and wherever the figure is not a power of two
// that divides `bufferBytes`.
size_t directIoAlignment(int descriptor, size_t bufferBytes);

struct AlignedFree {
    void operator()(char *bytes) const;
};
using AlignedBuffer = std::unique_ptr<char, AlignedFree>;

// `bytes` bytes aligned to `alignment` (a power of two, a multiple of the pointer size, dividing
// `bytes`); empty when memory runs out.
AlignedBuffer allocateAligned(size_t alignment, size_t bytes);
