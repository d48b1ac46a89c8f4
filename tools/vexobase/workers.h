// The worker pool: a fixed number of threads, each taking the next queued job from the table
// and running it, so that at most that many jobs (and ffmpeg processes) run at once.
#pragma once

#include "tools/vexobase/jobtable.h"
#include "tools/vexobase/runners.h"

#include <thread>
#include <vector>

namespace vexobase
{

class Workers
{
public:
    Workers(int count, JobTable& table, Runner& runner);
    // Shuts the table down (running jobs are cancelled) and joins every thread.
    ~Workers();

private:
    JobTable& table_;
    std::vector<std::thread> threads_;
};

} // namespace vexobase
