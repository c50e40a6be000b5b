#include "mxf/DirectIo.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr size_t kDefaultAlignment = 4096;

} // namespace

size_t directIoAlignment(int descriptor, size_t bufferBytes) {
    struct statx about {};
    if (::statx(descriptor, "", AT_EMPTY_PATH, STATX_DIOALIGN, &about) != 0 ||
        (about.stx_mask & STATX_DIOALIGN) == 0 || about.stx_dio_offset_align == 0)
        return kDefaultAlignment;
    const size_t alignment = std::max<size_t>(about.stx_dio_offset_align, about.stx_dio_mem_align);
    // A power of two that divides the buffer; anything else is not believed.
    if ((alignment & (alignment - 1)) != 0 || alignment > bufferBytes)
        return kDefaultAlignment;
    return std::max(alignment, sizeof(void *));
}

void AlignedFree::operator()(char *bytes) const {
    std::free(bytes);
}

AlignedBuffer allocateAligned(size_t alignment, size_t bytes) {
    return AlignedBuffer(static_cast<char *>(std::aligned_alloc(alignment, bytes)));
}
