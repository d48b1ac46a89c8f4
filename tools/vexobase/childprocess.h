// Child processes (ffmpeg, ffprobe): spawned with posix_spawn, their output read line by line,
// killed when the caller asks them to stop.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace vexobase
{

struct ChildResult {
    bool started = false;  // false: the program could not be run
    bool killed = false;   // stopped because `stop` became true
    int exitCode = -1;     // exit status; 128 + signal number when a signal ended it
    std::string lastError; // the last non-empty line written to stderr
};

// Runs `argv` (argv[0] looked up in PATH) with stdin from /dev/null, calls `onLine` for every
// line written to stdout, and kills the process as soon as `stop` is set (checked every 100 ms).
// Blocks until the process has ended and been reaped.
ChildResult runChild(const std::vector<std::string>& argv,
                     const std::function<void(const std::string&)>& onLine,
                     const std::atomic<bool>& stop);

} // namespace vexobase
