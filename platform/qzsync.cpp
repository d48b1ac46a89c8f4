// Monotonic millisecond clocks and sleep.
#include "platform/qzsync.h"

#include <chrono>
#include <thread>

uint32_t qzOSGetMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t vsyncGetCurMs()
{
    return qzOSGetMs();
}

void Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
