// Processor load of the whole machine.
#pragma once

// The busy share of all processors since the previous reading (from any thread), in percent
// 0..100; the first call measures since boot. Calls within 250 ms of the reading give its
// figure again. 0 when the load cannot be read.
int GetSystemCpuUsage();
