#pragma once

// DeliveryLane: where a batch's written clips are checked and committed (see ClipDelivery.h) while the next
// clip plays out. It runs one clip's checks at a time, in the order handed in, on a thread of its own
// (kVerifyThreadName); at most one further clip waits behind it. A front end starts its next clip only while
// nothing waits (canTakeMore()), so no more than one clip is ever held back.
//
// Each clip handed in ends with exactly one delivered(clip, result), unless stop() gave it up first: its
// copies not yet committed keep their in-progress names and nothing is sent for it. The destructor stops.
//
// Threads: made, used and destroyed on one thread with a running event loop (the owner's); started and
// delivered arrive on it, queued.

#include "delivery/ClipDelivery.h"

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

// The name of the thread that checks written clips (see threads/ThreadName.h).
inline constexpr char kVerifyThreadName[] = "vtrl-verify";

class DeliveryLane : public QObject {
    Q_OBJECT

public:
    static constexpr size_t kMostWaiting = 1;

    explicit DeliveryLane(QObject *parent = nullptr);
    ~DeliveryLane() override;
    DeliveryLane(const DeliveryLane &) = delete;
    DeliveryLane &operator=(const DeliveryLane &) = delete;

    // Takes the written clip `clip` (the owner's number for it); its checks start once those before it
    // ended. Call only while canTakeMore().
    void submit(int clip, PendingDelivery pending);
    // Whether a clip may be handed in without more than kMostWaiting waiting behind the running one.
    bool canTakeMore() const;
    // Whether a clip is being checked or waits.
    bool busy() const;
    // Gives up the running checks and drops the waiting clips: none of them is delivered. Returns at once;
    // the running checks end within one read of the disk.
    void stop();

signals:
    // The checks of `clip` began.
    void started(int clip);
    void delivered(int clip, ClipDelivered result);

private:
    struct Job {
        int clip = 0;
        PendingDelivery pending;
    };
    // What the worker tells the owner: a clip's checks began (no result) or ended.
    struct Notice {
        uint64_t since = 0; // the stop() count when its checks began
        int clip = 0;
        std::optional<ClipDelivered> result;
    };
    void work(std::stop_token end);
    void notify(Notice notice);
    Q_INVOKABLE void flush();

    mutable std::mutex lock;
    std::condition_variable_any wake;
    std::deque<Job> waiting;
    std::deque<Notice> outbox; // for the owner's thread
    std::optional<int> running;
    std::stop_source giveUp; // the running clip's checks; replaced for each clip
    uint64_t generation = 0; // counts stop() calls
    std::jthread worker;     // last: stopped and joined first
};
