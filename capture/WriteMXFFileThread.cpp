#include "capture/WriteMXFFileThread.h"

#include "capture/QIROSRTransfer.h"
#include "card/CWyrnCard.h"
#include "threads/ThreadName.h"

#include <exception>

WriteMXFFileThread::WriteMXFFileThread(QIROSRTransfer *owner) : owner(owner) {}

WriteMXFFileThread::~WriteMXFFileThread() {
    wait();
    finished.load(std::memory_order_acquire);
}

void WriteMXFFileThread::run() {
    const ThreadName name(kThreadName);
    setPriority(QThread::TimeCriticalPriority);
    try {
        owner->MXFWriterThread();
    } catch (const std::exception &error) {
        odprintf("MXFWriter::Thread failed: %s", error.what());
        owner->requestStop();
    } catch (...) {
        odprintf("MXFWriter::Thread failed");
        owner->requestStop();
    }
    finished.store(true, std::memory_order_release);
}
