#include "threads/ThreadName.h"

#include <ctime>
#include <map>
#include <mutex>
#include <pthread.h>

namespace {

struct Tally {
    std::mutex lock;
    std::map<std::string, double> seconds;
};

Tally &tally() {
    static Tally instance;
    return instance;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

ThreadName::ThreadName(std::string threadName) : name(std::move(threadName)) {
#if defined(__linux__)
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
#endif
}

ThreadName::~ThreadName() {
    const double used = threadCpuSeconds();
    std::lock_guard guard(tally().lock);
    tally().seconds[name] += used;
}

double endedThreadCpuSeconds(const std::string &name) {
    std::lock_guard guard(tally().lock);
    const auto found = tally().seconds.find(name);
    return found == tally().seconds.end() ? 0.0 : found->second;
}
