#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <limits>
#include <unistd.h>

struct TPassTiming {
    double seconds; // of the fastest run
    int failures;   // the most any run had
};

// Runs a pass `runs` times; the pass returns how many of its items failed.
// The fastest run stands for the pass: slower ones measure the machine's
// other work more than the code.
template <typename Pass>
TPassTiming BestOf(int runs, Pass&& pass) {
    TPassTiming timing{std::numeric_limits<double>::infinity(), 0};
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int failures = pass();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        timing.seconds = std::min(timing.seconds, took.count());
        timing.failures = std::max(timing.failures, failures);
    }
    return timing;
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The memory the process holds now.
inline int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}
