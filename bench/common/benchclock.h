// Wall and processor clocks of the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

using BenchClock = std::chrono::steady_clock;

// Seconds from `start` to now.
double secondsSince(BenchClock::time_point start);

// Processor time of the whole process so far, in seconds.
struct CpuTime {
    double user = 0;   // user time
    double system = 0; // system time
};
CpuTime cpuTime();

// Median milliseconds of `work` over `runs` runs, each after `before(run)` (not timed).
template <typename Before, typename Work> double medianMs(int runs, Before before, Work work)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        before(run);
        const BenchClock::time_point start = BenchClock::now();
        work();
        times.push_back(secondsSince(start) * 1000);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
