#include "capture/BufferPool.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Sizes no other test of the process takes, so that the pool's buffers of them are this test's own.
constexpr size_t kLarge = 3'000'001;
constexpr size_t kSmall = 1'001;

TEST(BufferPool, GivesNewBuffersClearedAndAligned) {
    for (size_t bytes : {kLarge, kSmall}) {
        const bufferpool::Buffer buffer = bufferpool::take(bytes);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.get()) % 64, 0u);
        EXPECT_TRUE(std::all_of(buffer.get(), buffer.get() + bytes, [](uint8_t byte) { return byte == 0; }));
    }
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
