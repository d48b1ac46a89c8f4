// The program's scan of a tree, by a scanner instance: the walk (WalkTree over the
// tree) and the clip search (SearchDirectory of every directory made ready), as the scanning
// thread runs them but without its 10 ms pause after each directory searched.
#pragma once

#include "bench/common/benchclock.h"

#include <QString>

#include <utility>
#include <vector>

class CQZClipwatch;

// The database of the scanning instance.
struct ScanDatabase {
    int type = 1; // 1: SQLite file, 2: MySQL database
    QString name; // file path or database name
};

// Writes the settings of instance 0 (group "Instance0") for a scan of `root` into `database`,
// files taken as clips once unchanged for `settleSeconds` (0: the check off).
void storeScanSettings(const QString& root, const ScanDatabase& database, int settleSeconds = 0);

struct ScanFigures {
    double walk = 0;     // seconds of the walk
    double search = 0;   // seconds of the clip search
    int directories = 0; // directory rows after the scan
    int clips = 0;       // clip rows after the scan
    CpuTime cpu;         // processor time of the whole scan
    bool whole = true;   // false when the search stopped at its budget
    size_t searched = 0; // directories searched
    // After each directory searched: seconds into the search, clips recorded so far.
    std::vector<std::pair<double, int>> progress;
};

// Scans the instance's scan folder: the walk, the directories made ready as the walk's end does,
// then the search of each, until none is left or `budget` seconds of search have passed. With
// `rescan` the walk takes every directory as new, as a full rescan does.
ScanFigures scanWithInstance(CQZClipwatch& instance, bool rescan, double budget);
