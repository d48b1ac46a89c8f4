// How the process keeps the heap it has freed.
#pragma once

// Keeps up to 32 MiB of freed heap for reuse instead of giving it back to the system after
// each large free: a scan frees and allocates again with every folder's commit, and each
// give-back and take-back costs system calls and page faults on every core. Call once at start.
void qzOSKeepFreedHeap();
