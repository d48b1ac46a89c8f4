// The dashboard's /metrics: per instance figures in the Prometheus text exposition format.
#pragma once

#include "web/snapshot.h"

#include <string>
#include <vector>

namespace web
{

// clipwatch_<figure>{instance="N"} for every getscanstatus figure, clipwatch_state (the state
// number), clipwatch_jobs_in_flight and clipwatch_service_reachable (0 or 1).
std::string metricsText(const std::vector<InstanceView>& views);

} // namespace web
