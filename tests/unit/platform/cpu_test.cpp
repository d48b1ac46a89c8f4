// The processor load figure and its reading once per pass.
#include "platform/qzcpu.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(Cpu, LoadIsAPercentageThatSeesABusyThread)
{
    const int sinceBoot = GetSystemCpuUsage();
    EXPECT_TRUE(sinceBoot >= 0 && sinceBoot <= 100) << sinceBoot;

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    volatile unsigned spin = 0;
    while (std::chrono::steady_clock::now() < end)
        spin = spin + 1;
    const int busy = GetSystemCpuUsage();
    EXPECT_TRUE(busy >= 1 && busy <= 100) << busy << ": 300 ms of spinning is busy time";

    // A tight loop of readings (the scanner asks once per pass) gets the last figure.
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(GetSystemCpuUsage(), busy) << "reading " << i;
}
