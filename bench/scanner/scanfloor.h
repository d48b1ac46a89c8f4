// The floor of a scan: what the work must cost at least.
#pragma once

#include "bench/scanner/tree.h"

// `find` over the tree, then per folder in one transaction: its directory row, and for each
// clip the readability check (open, read one byte, close) and its clip row, inserted with raw
// prepared statements into a clip database `dbFile` created in the program's schema (with its
// indexes). Returns the seconds taken, or -1 when a step failed.
double scanFloor(const ScanTree& tree, const QString& dbFile);
