// Processor load from the "cpu" line of /proc/stat: busy time is every counter but idle and
// iowait (the guest columns are already part of user time and are left out); the share is
// taken over the time since the previous reading, at least a quarter of a second.
#include "platform/qzcpu.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

namespace
{

constexpr std::chrono::milliseconds kShortestWindow(250);

struct CpuTimes {
    uint64_t busy = 0;
    uint64_t total = 0;
};

bool readCpuTimes(CpuTimes& times)
{
    std::ifstream stat("/proc/stat");
    std::string line;
    if (!std::getline(stat, line) || line.compare(0, 4, "cpu ") != 0)
        return false;
    std::istringstream fields(line.substr(4));
    uint64_t value = 0, idle = 0, total = 0;
    for (int column = 0; column < 8 && fields >> value; ++column) {
        total += value;
        if (column == 3 || column == 4) // idle, iowait
            idle += value;
    }
    times.busy = total - idle;
    times.total = total;
    return total > 0;
}

} // namespace

int GetSystemCpuUsage()
{
    static std::mutex mutex;
    static CpuTimes previous;
    static std::chrono::steady_clock::time_point previousAt;
    static int lastShare = 0;
    std::lock_guard<std::mutex> lock(mutex);
    const auto at = std::chrono::steady_clock::now();
    // The counters tick every 10 ms: over a shorter window a single tick reads as 0% or 100%.
    if (previous.total != 0 && at - previousAt < kShortestWindow)
        return lastShare;
    CpuTimes now;
    if (!readCpuTimes(now))
        return 0;
    const uint64_t total = now.total > previous.total ? now.total - previous.total : 0;
    const uint64_t busy = now.busy > previous.busy ? now.busy - previous.busy : 0;
    previous = now;
    previousAt = at;
    lastShare = total == 0 ? 0 : static_cast<int>(std::min<uint64_t>(100, busy * 100 / total));
    return lastShare;
}
