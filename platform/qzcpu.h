// Processor load of the whole machine.
#pragma once

// The busy share of all processors since the previous call (from any thread), in percent
// 0..100; the first call measures since boot. 0 when the load cannot be read.
int GetSystemCpuUsage();
