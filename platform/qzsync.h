// Millisecond clocks. Both count from an arbitrary start on a monotonic clock and wrap as
// unsigned 32-bit values, so callers subtract two readings of one clock and never compare
// absolute values.
#pragma once

#include <cstdint>

uint32_t qzOSGetMs();
uint32_t vsyncGetCurMs();

// Sleeps the calling thread for `ms` milliseconds.
void Sleep(uint32_t ms);
