// Fuzzes the frame index parser: the input's first two bytes choose the block size (1 to 65,536 bytes),
// the third the compression quality, the rest is the start of the block (zeros behind it). Every record
// the parser returns must lie inside the block, and so must every data item length it leads to.

#include "capture/FrameIndex.h"
#include "tests/capture/FrameIndexBounds.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const size_t blockSize = (size_t(data[0]) << 8 | data[1]) + 1;
    const uint32_t quality = data[2] % 3;
    std::vector<uint8_t> block(blockSize);
    std::memcpy(block.data(), data + 3, std::min(size - 3, blockSize));

    static std::unique_ptr<FrameIndex> reused; // exercises the reuse of a record across calls
    reused = ParseFrameIndex(block.data(), uint32_t(blockSize), std::move(reused), quality);
    if (!reused)
        return 0;
    if (!recordLiesInsideBlock(*reused, block.data(), blockSize))
        std::abort();
    const IndexElement &items = reused->data;
    if (items.value > 0 && items.length > 0) {
        const size_t stride = items.length / items.value;
        for (size_t offset = 0; stride > 0 && offset < items.length; offset += stride) {
            const uint32_t length = GetDataItemLength(items.payload + offset, items.length - offset);
            if (length > 0 && offset + 20 + length > items.length)
                std::abort();
        }
    }
    return 0;
}
