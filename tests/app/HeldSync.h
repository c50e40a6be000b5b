#pragma once

// A test's stand-in for the durability calls (see mxf/DurableFile.h) that holds one sync of a file being put
// in place, so that a window test can act while a clip's checks wait; and the window tests' fixture that
// holds one.

#include "app/QIROSRTransferWidget.h"
#include "mxf/DurableFile.h"
#include "tests/app/WindowFixture.h"

#include <QString>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace windowtest {

// Holds the first sync that `holds` picks (given its path and the files renamed so far) until released, or
// until kHoldLimit has passed, so that a GUI thread that waits for it shows as slow rather than hung. Calls
// may come from any thread.
class HeldSync : public DurabilityCalls {
public:
    static constexpr auto kHoldLimit = std::chrono::seconds(10);
    using Pick = std::function<bool(const QString &path, const QStringList &renamedFrom)>;

    explicit HeldSync(Pick holds) : holds(std::move(holds)) { setDurabilityCalls(this); }
    ~HeldSync() override {
        release();
        setDurabilityCalls(nullptr);
    }

    int fsync(int descriptor, const QString &path) override {
        {
            std::unique_lock guard(lock);
            if (!held && holds(path, renamedFrom)) {
                held = true;
                changed.notify_all();
                changed.wait_for(guard, kHoldLimit, [this] { return released; });
                if (failWith != 0)
                    return errno = failWith, -1;
            }
        }
        return DurabilityCalls::fsync(descriptor, path);
    }
    int rename(const QString &from, const QString &to) override {
        {
            const std::lock_guard guard(lock);
            renamedFrom << from;
        }
        return DurabilityCalls::rename(from, to);
    }
    // Whether a sync is held, or was.
    bool reached() {
        const std::lock_guard guard(lock);
        return held;
    }
    // Lets the held sync go on; with a cause, it fails with that errno instead.
    void release(int cause = 0) {
        const std::lock_guard guard(lock);
        if (!released)
            failWith = cause;
        released = true;
        changed.notify_all();
    }

private:
    Pick holds;
    std::mutex lock;
    std::condition_variable changed;
    QStringList renamedFrom;
    bool held = false;
    bool released = false;
    int failWith = 0;
};

// A window test whose held sync, if any, is let go before the window is torn down.
class HeldSyncWindowTest : public WindowTest {
protected:
    void TearDown() override {
        if (held)
            held->release();
        WindowTest::TearDown();
        held.reset();
    }
    QIROSRTransferWidget *preview() { return child<QIROSRTransferWidget>("preview"); }

    std::unique_ptr<HeldSync> held;
};

} // namespace windowtest
