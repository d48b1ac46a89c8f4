// A clip database of many clips for the operation benchmarks, made fast: created through the
// program's db layer, then filled with raw prepared inserts in one transaction. Every clip is
// finished (Complete, picon and proxy 1, an MD5 made); a hundred clips share a directory.
#pragma once

#include <QString>

// Creates `file` with `clips` finished clips and their directories. False when a step failed.
bool fillClipDatabase(const QString& file, int clips);
