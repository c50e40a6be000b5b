#include "app/RetiringTransfers.h"

#include "capture/QIROSRTransfer.h"
#include "threads/ThreadName.h"

RetiringTransfers::RetiringTransfers(QObject *parent) : QObject(parent) {}

RetiringTransfers::~RetiringTransfers() {
    waitForAll();
}

void RetiringTransfers::retire(std::unique_ptr<QIROSRTransfer> transfer) {
    if (!transfer)
        return;
    // Both threads start ending now, and a read-back or commit under way is given up at its next step.
    transfer->requestStop();
    // Deleted elsewhere: no event of this thread's may reach it any more.
    transfer->moveToThread(nullptr);
    Retiring &entry = retiring.emplace_back();
    entry.deleter = std::jthread([this, &entry, owned = std::move(transfer)]() mutable {
        const ThreadName name(kThreadName);
        owned.reset();
        entry.gone.store(true, std::memory_order_release);
        QMetaObject::invokeMethod(this, &RetiringTransfers::reap, Qt::QueuedConnection);
    });
}

void RetiringTransfers::waitForAll() {
    retiring.clear(); // each jthread joins as it goes
}

void RetiringTransfers::reap() {
    const bool wasBusy = busy();
    // A thread whose capture object is gone has nothing left to do but return: joining it does not wait.
    retiring.remove_if([](const Retiring &entry) { return entry.gone.load(std::memory_order_acquire); });
    if (wasBusy && !busy())
        emit allRetired();
}
