#include "delivery/DeliveryLane.h"

#include "threads/ThreadName.h"

#include <QMetaObject>
#include <exception>
#include <utility>

DeliveryLane::DeliveryLane(QObject *parent)
    : QObject(parent), worker([this](std::stop_token end) { work(std::move(end)); }) {}

DeliveryLane::~DeliveryLane() {
    stop();
    worker.request_stop();
    wake.notify_all();
}

void DeliveryLane::submit(int clip, PendingDelivery pending) {
    {
        const std::lock_guard guard(lock);
        waiting.push_back({clip, std::move(pending)});
    }
    wake.notify_all();
}

bool DeliveryLane::canTakeMore() const {
    const std::lock_guard guard(lock);
    return waiting.size() + (running ? 1 : 0) <= kMostWaiting;
}

bool DeliveryLane::busy() const {
    const std::lock_guard guard(lock);
    return running || !waiting.empty();
}

void DeliveryLane::stop() {
    const std::lock_guard guard(lock);
    waiting.clear();
    outbox.clear();
    giveUp.request_stop();
    ++generation;
}

// Hands what happened to the owner's thread. The notice itself goes through the lane's own lock (the owner
// takes it in flush), and only a call without data goes through Qt's event queue, so the hand-over is one
// that thread checkers see.
void DeliveryLane::notify(Notice notice) {
    {
        const std::lock_guard guard(lock);
        outbox.push_back(std::move(notice));
    }
    QMetaObject::invokeMethod(this, "flush", Qt::QueuedConnection);
}

// Sends, on the owner's thread, every notice not given up by a stop() since it was made.
void DeliveryLane::flush() {
    std::deque<Notice> notices;
    uint64_t current = 0;
    {
        const std::lock_guard guard(lock);
        notices.swap(outbox);
        current = generation;
    }
    for (const Notice &notice : notices) {
        if (notice.since != current)
            continue;
        if (notice.result)
            emit delivered(notice.clip, *notice.result);
        else
            emit started(notice.clip);
    }
}

void DeliveryLane::work(std::stop_token end) {
    const ThreadName name(kVerifyThreadName);
    for (;;) {
        Job job;
        std::stop_token stop;
        uint64_t since = 0;
        {
            std::unique_lock guard(lock);
            if (!wake.wait(guard, end, [this] { return !waiting.empty(); }))
                return;
            job = std::move(waiting.front());
            waiting.pop_front();
            running = job.clip;
            giveUp = std::stop_source();
            stop = giveUp.get_token();
            since = generation;
        }
        const int clip = job.clip;
        notify({since, clip, std::nullopt});
        ClipDelivered result;
        // A throw fails this clip, never the process.
        try {
            result = deliverClip(job.pending, stop);
        } catch (const std::exception &error) {
            result = {};
            result.failure = QString("checking the written file failed: %1").arg(error.what());
        } catch (...) {
            result = {};
            result.failure = QString("checking the written file failed");
        }
        {
            const std::lock_guard guard(lock);
            running.reset();
        }
        notify({since, clip, std::move(result)});
    }
}
