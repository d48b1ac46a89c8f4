// Runners: what a worker does with a job. The real runner makes the element with ffmpeg and
// ffprobe; the simulated runner only lets time pass. Fault-injected jobs always take the
// simulated road and misbehave halfway.
//
// Called on worker threads; a runner holds no lock while it works and reports through the
// job table.
#pragma once

#include "tools/vexobase/faults.h"
#include "tools/vexobase/jobtable.h"
#include "tools/vexobase/options.h"

#include <string>

namespace vexobase
{

// Why a job may not start (a fixed text, never client input), or empty when it may.
std::string refusalOf(const JobOrder& order);

class Runner
{
public:
    Runner(const Options& options, JobTable& table, const FaultControl& faults)
        : options_(options), table_(table), faults_(faults)
    {
    }

    // Runs the job to its end (or until it is cancelled) and reports into the table.
    void run(const JobTicket& ticket);

private:
    void simulate(const JobTicket& ticket);
    void runReal(const JobTicket& ticket);

    const Options& options_;
    JobTable& table_;
    const FaultControl& faults_;
};

} // namespace vexobase
