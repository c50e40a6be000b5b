#include "capture/BufferPool.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Sizes no other test of the process takes, so that the pool's buffers of them are this test's own.
constexpr size_t kLarge = 3'000'001;
constexpr size_t kSmall = 1'001;
constexpr size_t kFresh = 5'000'001;

// How many of the pages of [begin, begin + bytes) are in memory; begin is page-aligned.
size_t residentPages(const uint8_t *begin, size_t bytes) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> pages((bytes + page - 1) / page);
    if (mincore(const_cast<uint8_t *>(begin), bytes, pages.data()) != 0)
        return 0;
    return size_t(std::count_if(pages.begin(), pages.end(), [](unsigned char flags) { return flags & 1; }));
}

TEST(BufferPool, GivesNewBuffersAlignedWithEveryPageAlreadyMapped) {
    for (size_t bytes : {kLarge, kSmall})
        EXPECT_EQ(reinterpret_cast<uintptr_t>(bufferpool::take(bytes).get()) % 64, 0u) << bytes;
    // A large buffer comes fresh from the system: without being written through, its pages would first be
    // mapped by the capture, one page fault at a time.
    const bufferpool::Buffer buffer = bufferpool::take(kFresh);
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(buffer.get()) % page, 0u);
    EXPECT_EQ(residentPages(buffer.get(), kFresh), (kFresh + page - 1) / page);
}

TEST(BufferPool, ABufferLetGoOfComesBackAsItWasLeftAndIsNeverHandedOutTwice) {
    uint8_t *first = nullptr;
    {
        bufferpool::Buffer buffer = bufferpool::take(kLarge);
        first = buffer.get();
        buffer[kLarge - 1] = 7;
    }
    const bufferpool::Buffer again = bufferpool::take(kLarge);
    EXPECT_EQ(again.get(), first);
    EXPECT_EQ(again[kLarge - 1], 7);
    const bufferpool::Buffer another = bufferpool::take(kLarge);
    EXPECT_NE(another.get(), first);
    EXPECT_EQ(another[kLarge - 1], 0);
}

} // namespace
