// The HTML job page: one row per job with its key, state, progress and result.
#include "tools/vexobase/page.h"

#include "tools/vexobase/faults.h"

#include <QString>

#include <cstdio>

namespace vexobase
{

namespace
{

std::string html(const std::string& text)
{
    return QString::fromStdString(text).toHtmlEscaped().toStdString();
}

const char* stateName(JobState state)
{
    switch (state) {
    case JobState::Queued:
        return "queued";
    case JobState::Running:
        return "running";
    case JobState::Ended:
        break;
    }
    return "ended";
}

std::string progressText(int progress)
{
    if (progress < 0)
        return std::to_string(progress);
    char text[16];
    std::snprintf(text, sizeof text, "%.2f%%", progress / 100.0);
    return text;
}

} // namespace

std::string jobPage(const std::vector<JobView>& jobs, bool simulate)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<meta http-equiv=\"refresh\" content=\"2\"><title>VexoBase jobs</title>"
                       "<style>body{font-family:sans-serif}td,th{padding:2px 8px;"
                       "border-bottom:1px solid #ccc;text-align:left}</style></head><body>\n";
    page += "<h1>VexoBase jobs</h1>\n<p>" + std::to_string(jobs.size()) + " jobs" +
            (simulate ? " (simulated)" : "") + "</p>\n";
    page += "<table><tr><th>Client</th><th>Profile</th><th>Source</th><th>Target</th>"
            "<th>State</th><th>Progress</th><th>Result</th><th>Result text</th><th>Fault</th>"
            "</tr>\n";
    for (const JobView& job : jobs) {
        const JobKey& key = job.order.key;
        page += "<tr><td>" + html(key.client) + "</td><td>" + html(key.profile) + "</td><td>" +
                html(key.source) + "</td><td>" + html(key.target) + "</td><td>" +
                stateName(job.status.state) + "</td><td>" + progressText(job.status.progress) +
                "</td><td>" + std::to_string(job.status.result) + "</td><td>" +
                html(job.status.resultString) + "</td><td>" + faultName(job.order.fault) +
                "</td></tr>\n";
    }
    return page + "</table></body></html>\n";
}

} // namespace vexobase
