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

std::optional<int> DeliveryLane::checking() const {
    const std::lock_guard guard(lock);
    return running;
}

void DeliveryLane::stop() {
    const std::lock_guard guard(lock);
    waiting.clear();
    giveUp.request_stop();
    ++generation;
}

// Sends on the owner's thread unless a stop() came between: what was given up is never reported.
template <typename Send> void DeliveryLane::sendUnlessStopped(uint64_t since, Send send) {
    QMetaObject::invokeMethod(
        this,
        [this, since, send = std::move(send)] {
            bool current = false;
            {
                const std::lock_guard guard(lock);
                current = generation == since;
            }
            if (current)
                send();
        },
        Qt::QueuedConnection);
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
        sendUnlessStopped(since, [this, clip] { emit started(clip); });
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
        sendUnlessStopped(since, [this, clip, result = std::move(result)] { emit delivered(clip, result); });
    }
}
