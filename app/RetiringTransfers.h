#pragma once

// Capture objects whose transfers have been stopped, each deleted on a thread of its own, so that the GUI
// thread never waits for what a capture object's destructor waits for: the end of its threads, which may
// still be syncing, reading back and renaming a finished file (a stop gives the read-back up and the
// renames at their next step, never a sync in progress), the recorder's stop command and the release of
// the board.
//
// A capture object handed in still holds its board until it is gone: while busy(), no other capture object
// may take the board (see QIROSRTransferWidget::acquireBoard). allRetired follows once the last one is gone;
// the reports it queued to receivers on this thread have reached them by then, as they were queued first.
//
// Threads: every member on the thread the object lives in (the GUI thread); the capture objects are deleted
// on threads named kThreadName.

#include <QObject>
#include <atomic>
#include <list>
#include <memory>
#include <thread>

class QIROSRTransfer;

class RetiringTransfers : public QObject {
    Q_OBJECT

public:
    // The deleting threads' name, as tools that list threads show it.
    static constexpr char kThreadName[] = "vtrl-retire";

    explicit RetiringTransfers(QObject *parent = nullptr);
    // Waits for every capture object handed in to be gone, as waitForAll.
    ~RetiringTransfers() override;
    RetiringTransfers(const RetiringTransfers &) = delete;
    RetiringTransfers &operator=(const RetiringTransfers &) = delete;

    // Asks the transfer to stop, at once, and deletes it on a thread of its own; returns without waiting.
    // The object must have no parent; it leaves the calling thread's care (it has no thread affinity after).
    void retire(std::unique_ptr<QIROSRTransfer> transfer);
    // True until every capture object handed in is gone.
    bool busy() const { return !retiring.empty(); }
    // Blocks until every capture object handed in is gone; allRetired does not follow.
    void waitForAll();

signals:
    // The last capture object handed in is gone: its board is free.
    void allRetired();

private:
    struct Retiring {
        std::atomic<bool> gone{false};
        std::jthread deleter;
    };
    // Joins the threads whose capture object is gone; allRetired once none is left.
    void reap();

    std::list<Retiring> retiring;
};
