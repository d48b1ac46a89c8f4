// The job monitor following N jobs at once (default 500) against the simulated reference
// service on 127.0.0.1:1080, on an SQLite file: how often each job is polled (cycle time), the
// processor time of the process while it follows them, and the time from a job's end in the
// service to its element written as finished, and the resident size (VmRSS, VmHWM) before the
// jobs, at its highest while following them and after.
// Usage: bench_monitor [jobs] [job-ms]   (vexobase is taken from beside this program)
#include "bench/common/procmemory.h"
#include "db/dbcws.h"
#include "platform/qzhttp.h"
#include "platform/qzlog.h"
#include "platform/qzmemory.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool send(const std::string& url)
{
    char* reply = nullptr;
    size_t length = 0;
    const int rc =
        qzOSHTTPCommand(url.c_str(), kVexoMethod, kVexoHeader, nullptr, 0, &reply, &length, 2000);
    const bool queued = rc == 0 && std::string(reply, length).find("success") != std::string::npos;
    QZFree(reply);
    return queued;
}

} // namespace

int main(int argc, char** argv)
{
    qzOSKeepFreedHeap(); // as the program does
    QCoreApplication app(argc, argv);
    const int jobs = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
    const int jobMs = argc > 2 ? std::max(100, atoi(argv[2])) : 8000;
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("CLIPWATCH_LOG_DIR", dir.path().toUtf8());
    ErrLogSetFileName("bench_monitor");

    QProcess service;
    service.start(QCoreApplication::applicationDirPath() + "/vexobase",
                  {"--simulate", "--job-ms", QString::number(jobMs), "--jobs",
                   QString::number(jobs), "--port", "1080", "--bind", "127.0.0.1"});
    if (!service.waitForStarted(5000) || !service.waitForReadyRead(5000)) {
        fprintf(stderr, "vexobase did not start\n");
        return 1;
    }

    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.setValue("Instance0/DataBase", dir.path() + "/clips.db");
    store.setValue("Instance0/DBType", 1);
    store.setValue("Instance0/MakeProxy", 1);
    store.setValue("Instance0/MaxTranslations", jobs);
    store.sync();
    CQZClipwatch::instanceCount = 1;
    auto instance = std::make_unique<CQZClipwatch>(0, "127.0.0.1");
    instance->LoadDatabase();
    const std::shared_ptr<dbCwsHandle> db = instance->Database();
    if (!db) {
        fprintf(stderr, "no database\n");
        return 1;
    }

    QDir().mkpath(dir.path() + "/media");
    std::vector<std::string> anchors;
    for (int i = 0; i < jobs; ++i) {
        const std::string anchor =
            dir.path().toStdString() + "/media/clip" + std::to_string(i) + ".mov";
        QFile file(QString::fromStdString(anchor));
        if (!file.open(QIODevice::WriteOnly)) {
            fprintf(stderr, "cannot write %s\n", anchor.c_str());
            return 1;
        }
        file.write("media");
        dbCWSAddClip(db.get(), "clip", anchor, dir.path().toStdString() + "/media/");
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_PROXY, nullptr, "", QZ_IN_PROGRESS,
                              nullptr);
        anchors.push_back(anchor);
    }
    // Every job is started on the service and handed to the monitor; the last start is the
    // reference for the jobs' ends.
    std::vector<Clock::time_point> ends(anchors.size());
    const ProcMemory memoryBefore = procMemory();
    RssSampler sampler;
    const double cpuBefore = cpuSeconds();
    const Clock::time_point began = Clock::now();
    for (size_t i = 0; i < anchors.size(); ++i) {
        const std::string url = vexoCompRequest("127.0.0.1", "127.0.0.1", anchors[i],
                                                anchors[i] + ".mp4", "mp4-h264", 2000, 0, 0);
        if (!send(url)) {
            fprintf(stderr, "job %zu refused\n", i);
            service.terminate();
            service.waitForFinished(5000);
            return 1;
        }
        ends[i] = Clock::now() + std::chrono::milliseconds(jobMs);
        instance->checkThread.jobList.append(
            QString::fromStdString(vexoJobString(url, "proxy", true)));
    }
    const double startMs = msSince(began);
    const uint32_t pollsAtStart = instance->checkThread.PollCount();

    // Polls per job while every job runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(0, jobMs - 1000)) -
                                std::chrono::milliseconds(static_cast<int>(startMs)));
    const double runningMs = msSince(began) - startMs;
    const uint32_t runningPolls = instance->checkThread.PollCount() - pollsAtStart;

    // Latency: sampled every 20 ms until every element is finished.
    std::vector<double> latency(anchors.size(), -1);
    size_t done = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(jobMs + 60000);
    while (done < anchors.size() && Clock::now() < deadline) {
        for (size_t i = 0; i < anchors.size(); ++i) {
            if (latency[i] >= 0 || Clock::now() < ends[i])
                continue;
            dbCwsElementStatus status;
            if (dbCWSGetElementStatus(db.get(), anchors[i], status) == 0 &&
                status.state(CWS_ELEMENT_PROXY) == QZ_FINISHED) {
                latency[i] =
                    std::chrono::duration<double, std::milli>(Clock::now() - ends[i]).count();
                ++done;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double totalMs = msSince(began);
    const double memoryPeak = sampler.peak();
    const ProcMemory memoryAfter = procMemory();
    const double cpu = cpuSeconds() - cpuBefore;
    std::vector<double> sorted;
    for (double l : latency)
        if (l >= 0)
            sorted.push_back(l);
    std::sort(sorted.begin(), sorted.end());

    const double cycleMs = runningPolls ? runningMs * jobs / runningPolls : 0;
    printf("jobs %d, job length %d ms, started in %.0f ms\n", jobs, jobMs, startMs);
    printf("poll cycle (each job polled every): %.0f ms (%u polls in %.0f ms)\n", cycleMs,
           runningPolls, runningMs);
    printf("process CPU while following: %.2f s over %.1f s (%.1f%% of one core)\n", cpu,
           totalMs / 1000, 100 * cpu * 1000 / totalMs);
    if (!sorted.empty())
        printf("end to written: median %.0f ms, 90%% %.0f ms, max %.0f ms (%zu of %d finished)\n",
               sorted[sorted.size() / 2], sorted[sorted.size() * 9 / 10], sorted.back(),
               sorted.size(), jobs);
    instance.reset();
    const ProcMemory memoryClosed = procMemory();
    printf("resident: VmRSS %.0f MiB before the jobs, highest %.0f MiB while following, %.0f MiB "
           "after, %.0f MiB after the instance closed; VmHWM %.0f MiB\n",
           memoryBefore.rss, memoryPeak, memoryAfter.rss, memoryClosed.rss, memoryClosed.hwm);
    service.terminate();
    service.waitForFinished(5000);
    return sorted.size() == anchors.size() ? 0 : 1;
}
