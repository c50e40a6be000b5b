#include "threads/ThreadName.h"

#include <ctime>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Runs a thread that holds a ThreadName of name and uses cpuSeconds of CPU time; returns the name the
// operating system gave the thread.
std::string runNamedThread(const std::string &name, double cpuSeconds) {
    std::string seen;
    std::thread([&] {
        const ThreadName named(name);
        char buffer[16] = {};
        pthread_getname_np(pthread_self(), buffer, sizeof buffer);
        seen = buffer;
        const double start = threadCpuSeconds();
        while (threadCpuSeconds() - start < cpuSeconds) {
        }
    }).join();
    return seen;
}

TEST(ThreadName, NamesTheThreadAndAddsItsCpuTimeToTheTallyOfItsNameWhenItEnds) {
    const double before = endedThreadCpuSeconds("test-burner");
    EXPECT_EQ(runNamedThread("test-burner", 0.02), "test-burner");
    EXPECT_EQ(runNamedThread("test-burner", 0.02), "test-burner");
    EXPECT_GE(endedThreadCpuSeconds("test-burner") - before, 0.04);
    EXPECT_EQ(endedThreadCpuSeconds("never-named"), 0.0);
}

TEST(ThreadName, KeepsFifteenCharactersForTheSystemAndTalliesUnderTheWholeName) {
    EXPECT_EQ(runNamedThread("a-name-longer-than-fifteen", 0.001), "a-name-longer-t");
    EXPECT_GE(endedThreadCpuSeconds("a-name-longer-than-fifteen"), 0.001);
}

} // namespace
