#pragma once

// A test's stand-in for the durability calls (see mxf/DurableFile.h) while it lives: notes every write,
// sync, rename and removal as "call path" (paths relative to a folder, "." for the folder itself), makes
// the real call, and fails the call it is told to with the errno given. Calls may come from any thread.

#include "mxf/DurableFile.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// Records every durability call as "call path", and fails the calls it is told to with the errno given.
class RecordingDurabilityCalls : public DurabilityCalls {
public:
    explicit RecordingDurabilityCalls(const QString &folder) : folder(folder + "/") {
        setDurabilityCalls(this);
    }
    ~RecordingDurabilityCalls() override { setDurabilityCalls(nullptr); }

    ssize_t write(int descriptor, const void *bytes, size_t count, const QString &path) override {
        if (const int cause = note("write " + name(path)))
            return errno = cause, -1;
        return DurabilityCalls::write(descriptor, bytes, count, path);
    }
    int fsync(int descriptor, const QString &path) override {
        if (const int cause = note("sync " + name(path)))
            return errno = cause, -1;
        return DurabilityCalls::fsync(descriptor, path);
    }
    int rename(const QString &from, const QString &to) override {
        if (const int cause = note("rename " + name(from) + " " + name(to)))
            return errno = cause, -1;
        return DurabilityCalls::rename(from, to);
    }
    int remove(const QString &path) override {
        if (const int cause = note("remove " + name(path)))
            return errno = cause, -1;
        return DurabilityCalls::remove(path);
    }

    std::vector<std::string> recorded() {
        std::lock_guard guard(lock);
        return calls;
    }

    std::vector<std::string> calls; // read through recorded() while another thread may call
    // A call that fails: its text, the errno it fails with, and from which of its occurrences on.
    std::string failing;
    int failWith = 0;
    int failFrom = 1;

private:
    std::string name(const QString &path) const {
        const QString relative = (path + "/").startsWith(folder) ? path.mid(folder.size()) : path;
        return relative.isEmpty() ? "." : relative.toStdString();
    }
    int note(const std::string &call) {
        std::lock_guard guard(lock);
        calls.push_back(call);
        return call == failing && std::count(calls.begin(), calls.end(), call) >= failFrom ? failWith : 0;
    }
    QString folder;
    std::mutex lock;
};

} // namespace testsupport
