#pragma once

// Names for the process's threads, and the CPU time the named threads used.
//
// A thread's body holds a ThreadName for as long as it runs. Tools that list threads (top -H, ps -L, perf,
// gdb) show the name, and when the body ends the CPU time the thread used, user and system time by its
// own CPU clock, is added to the process's tally for that name. Benchmarks read the tally to tell what the
// system's threads cost apart from what the simulated devices in the same process cost.
//
// Threads: a ThreadName is made and destroyed on the thread it names; the tally may be read from any thread.

#include <string>

class ThreadName {
public:
    // Names the calling thread; the operating system keeps the first 15 characters.
    explicit ThreadName(std::string name);
    // Adds the calling thread's CPU time to its name's tally.
    ~ThreadName();
    ThreadName(const ThreadName &) = delete;
    ThreadName &operator=(const ThreadName &) = delete;

private:
    const std::string name;
};

// CPU seconds used by the ended threads of that name since the process started.
double endedThreadCpuSeconds(const std::string &name);
