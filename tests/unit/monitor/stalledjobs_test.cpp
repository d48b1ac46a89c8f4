// The instance's actions for dropped elements and stalled jobs.
#include "monitor/stalledjobs.h"
#include "tests/unit/monitor/monitorfixture.h"

namespace
{

const ProgressElement kElement = {"127.0.0.1", "/m/a.mov", "/o/a.mp4", "mp4-h264", 3000, 0};

QString proxyJob(const std::string& source, const std::string& service = "127.0.0.1:1080")
{
    return jobString("proxy", source, "/o/a.mp4", "mp4-h264", "", service);
}

using Stalled = MonitorTest;

TEST_F(Stalled, OnlyJobStringsSpelledAsTheElementGoLastOccurrenceFirst)
{
    QStringListThreadSafe jobs;
    const QString lower = proxyJob("/m/a.mov"), upper = proxyJob("/m/A.mov");
    const QString picon = jobString("picon", "/m/a.mov", "/o/a.mp4", "mp4-h264");
    for (const QString& job : {lower, upper, picon, lower, proxyJob("/m/b.mov")})
        jobs.append(job);
    RemoveElementJobStrings(jobs, kElement);
    EXPECT_EQ(jobs.snapshot(), (QStringList{upper, picon, proxyJob("/m/b.mov")}));
    ProgressElement empty;
    empty.progress = -2;
    RemoveElementJobStrings(jobs, empty);
    EXPECT_EQ(jobs.size(), 3) << "a lost-progress record of an unknown job names no job";
}

TEST_F(Stalled, AbortIsSentToTheJobsServiceAndTheJobStringsGo)
{
    makeInstance();
    serve([](const std::string&) { return std::string("{\"result\":\"0\"}"); });
    // A job of the second service: the abort goes there, not to the first.
    instance->checkThread.jobList.append(proxyJob("/m/a.mov", "127.0.0.1:1082"));
    StalledJobActions(instance.get()).abortStalled(kElement, 240);
    // (The instance's own monitor may poll the job meanwhile.)
    std::string abort;
    for (const std::string& url : sent())
        if (url.find("&abort=1") != std::string::npos)
            abort = url;
    EXPECT_EQ(abort, "http://127.0.0.1:1082/vexojson?request=set&client=127.0.0.1&command=copy"
                     "&source=/m/a.mov&target=/o/a.mp4&profile=mp4-h264&group=1&abort=1&clear=1");
    EXPECT_TRUE(instance->checkThread.jobList.isEmpty());
}

} // namespace
