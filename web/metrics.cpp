// Prometheus text of the instances' figures (see metrics.h).
#include "web/metrics.h"

#include <QString>

#include <functional>

namespace web
{

namespace
{

// One metric family: its name, help text and value of an instance.
struct Family {
    std::string name;
    std::string help;
    std::function<double(const InstanceView&)> value;
};

std::vector<Family> families(const std::vector<InstanceView>& views)
{
    std::vector<Family> list;
    if (views.empty())
        return list;
    for (const auto& figureEntry : views.front().figures) {
        const std::string figureName = figureEntry.first;
        list.push_back({"clipwatch_" + figureName, "The getscanstatus figure " + figureName + ".",
                        [figureName](const InstanceView& v) { return figure(v, figureName); }});
    }
    list.push_back({"clipwatch_state", "Scanner state number (1 not running ... 10 exiting).",
                    [](const InstanceView& v) { return v.state; }});
    list.push_back({"clipwatch_jobs_in_flight", "Translations and MD5s in progress.",
                    [](const InstanceView& v) { return v.jobsInFlight; }});
    list.push_back({"clipwatch_service_reachable", "1 once the service has answered.",
                    [](const InstanceView& v) { return v.serviceAvailable ? 1 : 0; }});
    list.push_back({"clipwatch_rate", "Units of work per second of the working phase (0: unknown).",
                    [](const InstanceView& v) { return v.progress.rate; }});
    list.push_back({"clipwatch_seconds_left",
                    "Estimated seconds until the working phase ends (-1: unknown).",
                    [](const InstanceView& v) { return v.progress.secondsLeft; }});
    return list;
}

} // namespace

std::string metricsText(const std::vector<InstanceView>& views)
{
    std::string out;
    for (const Family& f : families(views)) {
        out += "# HELP " + f.name + " " + f.help + "\n# TYPE " + f.name + " gauge\n";
        for (const InstanceView& v : views)
            out += f.name + "{instance=\"" + std::to_string(v.number) + "\"} " +
                   QString::number(f.value(v), 'g', 15).toStdString() + "\n";
    }
    return out;
}

} // namespace web
