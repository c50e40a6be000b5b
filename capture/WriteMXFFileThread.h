#pragma once

// The writer thread of a transfer: runs its capture object's writer routine at time-critical priority.
// Created and started by the capture thread, which waits for it and deletes it. An exception the routine
// lets through is reported and ends the transfer; it never leaves the thread.

#include <QThread>
#include <atomic>

class QIROSRTransfer;

class WriteMXFFileThread : public QThread {
    Q_OBJECT

public:
    // The thread's name, as tools that list threads show it.
    static constexpr char kThreadName[] = "vtrl-writer";

    explicit WriteMXFFileThread(QIROSRTransfer *owner);
    // Waits for the thread to end.
    ~WriteMXFFileThread() override;

protected:
    void run() override;

private:
    QIROSRTransfer *owner;
    // Set as the routine's last act and read after wait(), so that what the routine wrote is seen
    // by the thread that deletes this one.
    std::atomic<bool> finished{false};
};
