#include "ring/CircularBuffer.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Long enough for several wait slices; a waiting side must still be waiting after it.
constexpr auto kStillWaiting = 350ms;
// Generous bound for "returns soon": a wait slice is 100 ms.
constexpr auto kSoon = 2s;

// A ring of pointers into slotValues, the way the capture ring points at its payload blocks.
struct IntRing {
    explicit IntRing(size_t slotCount, std::atomic<int32_t> *stop = nullptr) : slotValues(slotCount, -1) {
        ring.AttachStopFlag(stop);
        for (int &value : slotValues)
            ring.AddSlot(&value);
    }
    size_t indexOf(const int *item) const { return size_t(item - slotValues.data()); }
    void fill() {
        for (size_t i = 0; i < slotValues.size(); ++i) {
            ASSERT_NE(ring.BeginProduce(), nullptr);
            ring.EndProduce();
        }
    }

    std::vector<int> slotValues;
    CQIROCircularBuffer<int *> ring;
};

template <typename R> bool returnsSoon(std::future<R> &result) {
    return result.wait_for(kSoon) == std::future_status::ready;
}
template <typename R> bool stillWaiting(std::future<R> &result) {
    return result.wait_for(kStillWaiting) == std::future_status::timeout;
}

TEST(CircularBuffer, HandsSlotsOutInOrderAndWrapsHeadAndTail) {
    IntRing r(3);
    for (size_t round = 0; round < 7; ++round) {
        int *produced = r.ring.BeginProduce();
        ASSERT_NE(produced, nullptr);
        EXPECT_EQ(r.indexOf(produced), round % 3);
        *produced = int(round);
        r.ring.EndProduce();

        int *consumed = r.ring.BeginConsume();
        ASSERT_NE(consumed, nullptr);
        EXPECT_EQ(r.indexOf(consumed), round % 3);
        EXPECT_EQ(*consumed, int(round));
        r.ring.EndConsume();
    }
}

TEST(CircularBuffer, LevelRisesOnBeginProduceAndFallsOnBeginConsume) {
    IntRing r(4);
    EXPECT_EQ(r.ring.level(), 0u);
    ASSERT_NE(r.ring.BeginProduce(), nullptr);
    EXPECT_EQ(r.ring.level(), 1u);
    r.ring.EndProduce();
    EXPECT_EQ(r.ring.level(), 1u);
    ASSERT_NE(r.ring.BeginProduce(), nullptr);
    r.ring.EndProduce();
    EXPECT_EQ(r.ring.level(), 2u);

    ASSERT_NE(r.ring.BeginConsume(), nullptr);
    EXPECT_EQ(r.ring.level(), 1u);
    r.ring.EndConsume();
    EXPECT_EQ(r.ring.level(), 1u);
}

// An End without its Begin must not give back the slot the other side holds. With the stop flag set, a
// Begin that finds its slot still held returns null after one wait slice instead of waiting on.
TEST(CircularBuffer, EndWithoutBeginLeavesTheOtherSidesSlotHeld) {
    std::atomic<int32_t> stop{1};
    IntRing consumerHolds(2, &stop);
    ASSERT_NE(consumerHolds.ring.BeginProduce(), nullptr);
    consumerHolds.ring.EndProduce();
    ASSERT_EQ(consumerHolds.indexOf(consumerHolds.ring.BeginConsume()), 0u);
    consumerHolds.ring.EndProduce();
    ASSERT_NE(consumerHolds.ring.BeginProduce(), nullptr); // slot 1
    consumerHolds.ring.EndProduce();
    EXPECT_EQ(consumerHolds.ring.BeginProduce(), nullptr) << "slot 0 is still being read";

    IntRing producerHolds(2, &stop);
    ASSERT_EQ(producerHolds.indexOf(producerHolds.ring.BeginProduce()), 0u);
    producerHolds.ring.EndConsume();
    EXPECT_EQ(producerHolds.ring.level(), 1u);
    EXPECT_EQ(producerHolds.ring.BeginConsume(), nullptr) << "slot 0 is still being filled";
}

TEST(CircularBuffer, ProducerBlocksWhenFullUntilConsumerFinishesASlot) {
    IntRing r(18);
    r.fill();
    EXPECT_EQ(r.ring.level(), 18u);

    auto producer = std::async(std::launch::async, [&] { return r.ring.BeginProduce(); });
    EXPECT_TRUE(stillWaiting(producer));

    int *consumed = r.ring.BeginConsume();
    ASSERT_EQ(r.indexOf(consumed), 0u);
    // The consumer still holds slot 0: the producer has room but must not get the slot yet.
    EXPECT_TRUE(stillWaiting(producer));
    r.ring.EndConsume();

    ASSERT_TRUE(returnsSoon(producer));
    EXPECT_EQ(r.indexOf(producer.get()), 0u);
    EXPECT_EQ(r.ring.level(), 18u);
    r.ring.EndProduce();
}

TEST(CircularBuffer, ConsumerBlocksWhenEmptyUntilProducerHandsOn) {
    IntRing r(4);
    auto consumer = std::async(std::launch::async, [&] {
        int *item = r.ring.BeginConsume();
        int value = item ? *item : -1;
        r.ring.EndConsume();
        return value;
    });
    EXPECT_TRUE(stillWaiting(consumer));

    int *produced = r.ring.BeginProduce();
    ASSERT_NE(produced, nullptr);
    // Taken but still being filled: the consumer waits for the slot.
    EXPECT_TRUE(stillWaiting(consumer));
    *produced = 42;
    r.ring.EndProduce();

    ASSERT_TRUE(returnsSoon(consumer));
    EXPECT_EQ(consumer.get(), 42);
}

TEST(CircularBuffer, StopFlagEndsAWaitForRoomWithNull) {
    std::atomic<int32_t> stop{0};
    IntRing r(18, &stop);
    r.fill();
    auto producer = std::async(std::launch::async, [&] { return r.ring.BeginProduce(); });
    EXPECT_TRUE(stillWaiting(producer));

    stop = 1;
    ASSERT_TRUE(returnsSoon(producer));
    EXPECT_EQ(producer.get(), nullptr);
    EXPECT_EQ(r.ring.level(), 18u);
}

TEST(CircularBuffer, StopFlagEndsAWaitForDataWithNull) {
    std::atomic<int32_t> stop{0};
    IntRing r(4, &stop);
    auto consumer = std::async(std::launch::async, [&] { return r.ring.BeginConsume(); });
    EXPECT_TRUE(stillWaiting(consumer));

    stop = 1;
    ASSERT_TRUE(returnsSoon(consumer));
    EXPECT_EQ(consumer.get(), nullptr);
}

TEST(CircularBuffer, ProducerThatEndsHoldingASlotDoesNotHangTheConsumer) {
    std::atomic<int32_t> stop{0};
    IntRing r(4, &stop);
    std::thread producer([&] { r.ring.BeginProduce(); }); // ends without EndProduce, like a dropped frame
    producer.join();
    EXPECT_EQ(r.ring.level(), 1u);

    auto consumer = std::async(std::launch::async, [&] { return r.ring.BeginConsume(); });
    EXPECT_TRUE(stillWaiting(consumer));

    stop = 1;
    ASSERT_TRUE(returnsSoon(consumer));
    EXPECT_EQ(consumer.get(), nullptr);
}

TEST(CircularBuffer, WithoutStopFlagAWaitNeverEnds) {
    IntRing r(2);
    auto consumer = std::async(std::launch::async, [&] { return r.ring.BeginConsume(); });
    EXPECT_TRUE(stillWaiting(consumer));

    ASSERT_NE(r.ring.BeginProduce(), nullptr);
    r.ring.EndProduce();
    ASSERT_TRUE(returnsSoon(consumer));
    EXPECT_NE(consumer.get(), nullptr);
}

TEST(CircularBuffer, ReattachingEmptiesTheRing) {
    IntRing r(3);
    r.fill();
    std::atomic<int32_t> stop{1};
    r.ring.AttachStopFlag(&stop);
    EXPECT_EQ(r.ring.level(), 0u);
    EXPECT_EQ(r.ring.size(), 0u);
    // A ring without slots has no room: with the stop flag already set the wait ends at its first slice.
    EXPECT_EQ(r.ring.BeginProduce(), nullptr);
}

TEST(CircularBuffer, CarriesAStreamBetweenTwoThreadsWithoutLossOrReordering) {
    constexpr int kCount = 20000;
    IntRing r(4);
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            int *slot = r.ring.BeginProduce();
            *slot = i;
            r.ring.EndProduce();
        }
    });
    std::vector<int> received;
    received.reserve(kCount);
    for (int i = 0; i < kCount; ++i) {
        int *slot = r.ring.BeginConsume(); // never null: no stop flag
        received.push_back(*slot);
        r.ring.EndConsume();
    }
    producer.join();
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(received[size_t(i)], i);
}

TEST(CircularBuffer, WorksAsAByteRingOf256Slots) {
    std::atomic<int32_t> stop{0};
    std::array<uint8_t, 256> bytes{};
    CQIROCircularBuffer<uint8_t *> ring;
    ring.AttachStopFlag(&stop);
    for (uint8_t &byte : bytes)
        ring.AddSlot(&byte);

    constexpr int kCount = 1000; // more than the ring holds: the producer blocks while it is full
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            uint8_t *slot = ring.BeginProduce();
            if (slot == nullptr)
                return;
            *slot = uint8_t(i * 7);
            ring.EndProduce();
        }
    });
    std::vector<uint8_t> received;
    while (received.size() < size_t(kCount)) {
        uint8_t *slot = ring.BeginConsume();
        if (slot == nullptr)
            break;
        received.push_back(*slot);
        ring.EndConsume();
    }
    producer.join();
    ASSERT_EQ(received.size(), size_t(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(received[size_t(i)], uint8_t(i * 7));
    EXPECT_EQ(ring.level(), 0u);
}

} // namespace
