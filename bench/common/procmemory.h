// The resident size of this process, from /proc/self/status, read once or sampled while a piece
// of work runs.
#pragma once

#include <atomic>
#include <thread>

// Resident sizes in MiB; -1 when /proc/self/status cannot be read.
struct ProcMemory {
    double rss = -1; // VmRSS: resident now
    double hwm = -1; // VmHWM: the highest resident size so far
};
ProcMemory procMemory();

// Samples VmRSS every 50 ms on its own thread from construction to peak() or destruction.
class RssSampler
{
public:
    RssSampler();
    ~RssSampler();
    RssSampler(const RssSampler&) = delete;
    RssSampler& operator=(const RssSampler&) = delete;

    // Stops sampling and gives the highest VmRSS seen, in MiB.
    double peak();

private:
    std::atomic<bool> running_{true}; // cleared to end the thread
    std::atomic<double> peak_{0};     // highest sample so far
    std::thread thread_;              // the sampling thread
};
