#pragma once

// CQIROCircularBuffer<T>: a fixed ring of slots handed from one producer thread to one consumer thread.
//
// The producer takes the next free slot with BeginProduce, fills what its item points to and hands it on
// with EndProduce; the consumer takes the oldest handed-on slot with BeginConsume and gives it back with
// EndConsume. A slot is owned by one side from Begin to End: a slot being filled is not read and a slot
// being read is not refilled. The ring does not own what the items point to.
//
// Waits: a side that finds no room, no data or its slot still held by the other side waits in slices of
// 100 ms. After a slice that ends without progress it returns null when an attached stop flag is non-zero,
// and otherwise waits again; without a stop flag it waits for as long as it takes. So a producer that ends
// while holding a slot never hangs the consumer for longer than the stop flag takes to be set.
//
// Threads: AttachStopFlag and AddSlot set the ring up before the two sides start. Begin/EndProduce are
// called by the one producer thread, Begin/EndConsume by the one consumer thread; level() from any thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

template <typename T> class CQIROCircularBuffer {
public:
    // Length of one wait slice, after which the stop flag is looked at.
    static constexpr std::chrono::milliseconds kWaitSlice{100};

    CQIROCircularBuffer() = default;
    CQIROCircularBuffer(const CQIROCircularBuffer &) = delete;
    CQIROCircularBuffer &operator=(const CQIROCircularBuffer &) = delete;

    // Watches flag (not owned; it must outlive the ring) in every wait; null means no wait ever stops.
    // Empties the ring and resets its positions: call it before the slots are added.
    void AttachStopFlag(std::atomic<int32_t> *flag) {
        std::lock_guard lock(stateLock);
        stopFlag = flag;
        items.clear();
        slotHeld.clear();
        head = tail = producing = consuming = 0;
        producerHolds = consumerHolds = false;
        levelCount.store(0);
    }

    // Appends one slot holding item.
    void AddSlot(T item) {
        std::lock_guard lock(stateLock);
        items.push_back(item);
        slotHeld.push_back(false);
    }

    // The next slot's item, owned by the producer until EndProduce; null (T{}) when told to stop.
    // Raises level().
    T BeginProduce() {
        return take([this] { return levelCount.load() < items.size(); }, head, producing, producerHolds, 1);
    }

    // Hands the slot taken by BeginProduce to the consumer. Does nothing when no slot is held.
    void EndProduce() { release(producerHolds, producing); }

    // The oldest produced slot's item, owned by the consumer until EndConsume; waits while the producer
    // still fills it. Null (T{}) when told to stop. Lowers level().
    T BeginConsume() {
        return take([this] { return levelCount.load() > 0; }, tail, consuming, consumerHolds, -1);
    }

    // Gives the slot taken by BeginConsume back to the producer. Does nothing when no slot is held.
    void EndConsume() { release(consumerHolds, consuming); }

    // Slots taken by the producer and not yet taken by the consumer. Safe from any thread.
    uint32_t level() const { return levelCount.load(); }

    // Number of slots.
    size_t size() const {
        std::lock_guard lock(stateLock);
        return items.size();
    }

private:
    // Waits in slices until ready() holds (true), or until a slice ends without it while the stop flag
    // is non-zero (false).
    template <typename Ready> bool waitUntil(std::unique_lock<std::mutex> &lock, Ready ready) {
        while (!ready()) {
            if (changed.wait_for(lock, kWaitSlice, ready))
                return true;
            if (stopFlag != nullptr && stopFlag->load() != 0)
                return false;
        }
        return true;
    }

    // One side's Begin: waits until canStart() holds and the slot at position is free, takes that slot
    // (its index into taken, holds set), advances position and moves the level by levelChange.
    template <typename CanStart>
    T take(CanStart canStart, uint32_t &position, uint32_t &taken, bool &holds, int32_t levelChange) {
        std::unique_lock lock(stateLock);
        if (!waitUntil(lock, canStart))
            return T{};
        if (!waitUntil(lock, [this, &position] { return !slotHeld[position]; }))
            return T{};
        taken = position;
        slotHeld[taken] = true;
        holds = true;
        position = next(position);
        levelCount.store(uint32_t(int64_t(levelCount.load()) + levelChange));
        changed.notify_all();
        return items[taken];
    }

    void release(bool &holds, uint32_t slot) {
        std::lock_guard lock(stateLock);
        if (!holds)
            return;
        holds = false;
        slotHeld[slot] = false;
        changed.notify_all();
    }

    uint32_t next(uint32_t index) const { return uint32_t((index + 1) % items.size()); }

    mutable std::mutex stateLock;    // guards everything below except levelCount's reads
    std::condition_variable changed; // notified whenever a slot is taken or given back
    std::vector<T> items;
    std::vector<bool> slotHeld; // per slot: taken by one side and not yet ended
    uint32_t head = 0;          // next slot to produce
    uint32_t tail = 0;          // next slot to consume
    uint32_t producing = 0;     // slot the producer holds
    uint32_t consuming = 0;     // slot the consumer holds
    bool producerHolds = false;
    bool consumerHolds = false;
    std::atomic<uint32_t> levelCount{0};
    std::atomic<int32_t> *stopFlag = nullptr;
};
