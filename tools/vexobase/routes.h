// HTTP routes of the service: the job requests of the program ("/vexojson", "/vexo"), the
// fault control request ("/control") and the job page ("/").
#pragma once

#include "tools/vexobase/faults.h"
#include "tools/vexobase/jobtable.h"
#include "tools/vexobase/options.h"
#include "tools/vexobase/runners.h"
#include "tools/vexobase/workers.h"

namespace httplib
{
class Server;
}

namespace vexobase
{

// Everything the routes work on. Members are built in order; the workers last, so that they
// are the first to stop.
struct Service {
    explicit Service(const Options& options)
        : options(options), faults(options.slowMs), runner(this->options, table, faults),
          workers(options.jobs, table, runner)
    {
    }

    Options options;
    JobTable table;
    FaultControl faults;
    Runner runner;
    Workers workers;
};

// Installs the routes. A control request that asks for silence stops `server`; the caller
// listens again once FaultControl::silenceLeftMs() has run out.
void installRoutes(httplib::Server& server, Service& service);

} // namespace vexobase
