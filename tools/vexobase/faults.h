// Fault injection for tests: faults chosen by a marker in the source file name or by a control
// request, reply delays, and the silent periods in which the service does not answer at all.
//
// Thread-safe: HTTP handler threads and workers call in; one mutex guards the settings.
#pragma once

#include "tools/vexobase/job.h"
#include "tools/vexobase/query.h"

#include <chrono>
#include <mutex>
#include <string>

namespace vexobase
{

// The fault named by a "vexofault-<mode>" marker in `source`, or Fault::None.
Fault faultFromMarker(const std::string& source);
const char* faultName(Fault fault);

class FaultControl
{
public:
    explicit FaultControl(int slowMs) : slowMs_(slowMs) {}

    // The fault of a job being started: its source's marker, else the fault set by a control
    // request (which counts down when it was given a count).
    Fault faultForNewJob(const std::string& source);

    // Applies a control request ("/control?fault=stall&count=2", "delay=", "slowms=",
    // "failresult=", "silent="). Returns an empty string, or what was wrong with it.
    std::string apply(const Query& query);

    // Milliseconds to hold a reply about a job with `fault` (slow jobs, or a global delay).
    int replyDelayMs(Fault fault) const;
    // The result code of jobs failed by injection.
    int failResult() const;
    // Milliseconds of silence still asked for; 0 when the service should answer.
    int silenceLeftMs() const;

private:
    mutable std::mutex mutex_;
    Fault fault_ = Fault::None; // fault of new jobs set by control
    int count_ = -1;            // new jobs left to get it; -1 all
    int slowMs_;                // delay of a slow job's replies
    int delayMs_ = 0;           // delay of every reply
    int failResult_ = 1;        // result code of an injected failure
    std::chrono::steady_clock::time_point silentUntil_{};
};

} // namespace vexobase
