// Files still being written. The clip search takes a file as a clip only once it has settled;
// the folders holding files that have not are kept here, each with the time its files may
// have settled, to be searched again then. Used by the scanning thread only; the number of
// files waiting is published through an atomic for the other threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

struct KnFileInfo;

class SettleWatch
{
public:
    // Starts the search of `folder`: what it records replaces what the folder held before.
    void BeginFolder(const std::string& folder);
    // Whether the file `info` describes has settled after `settleSeconds` (0 or less: always),
    // at wall-clock `now` (seconds since the epoch) and monotonic `nowMs`: not held open for
    // writing, and its size and change time unchanged for that long, by its change time or by
    // what earlier searches of its folder saw (which also copes with a clock ahead of ours).
    // A file that has not settled is remembered for the folder being searched.
    bool Settled(const KnFileInfo& info, int settleSeconds, int64_t now, uint32_t nowMs);
    // Ends the search begun last: the folder is kept while it holds files that have not settled.
    // Returns whether it is kept.
    bool EndFolder();
    // A kept folder whose files may have settled at `nowMs`, or "".
    std::string DueFolder(uint32_t nowMs) const;
    // Files waiting to settle, over every kept folder.
    int Files() const { return files_.load(); }

private:
    struct Seen {
        uint64_t size;
        int64_t changed;
        uint32_t sinceMs; // first seen with this size and change time
    };
    struct Folder {
        uint32_t dueMs = 0;
        std::map<std::string, Seen> files;
    };
    void Count();

    std::map<std::string, Folder> folders_;
    std::string current_;
    Folder searching_;
    std::atomic<int> files_{0};
};
