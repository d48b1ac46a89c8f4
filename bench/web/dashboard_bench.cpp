// What the web dashboard costs a scan: the program's core with its dashboard scans a generated
// tree (every element off), the walk and the clip search with its pauses, once with no
// client and once with a client that asks for the instances and the metrics every second, as an
// open page does. Prints both times and their ratio.
// Usage: bench_dashboard [clips] (default 100,000 in folders of 100)
#include "bench/common/benchclock.h"
#include "bench/scanner/tree.h"
#include "control/program.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "web/dashboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace
{

constexpr int kPort = 6281;

void storeSettings(const QString& root, const QString& database)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.clear();
    store.setValue("DashboardPort", kPort);
    store.beginGroup("Instance0");
    store.setValue("Dir", root + "/");
    store.setValue("DataBase", database);
    store.setValue("DBType", 1);
    store.setValue("SettleSeconds", 0);
    for (const char* element : {"MakePicons", "MakeXMP", "MakeProxy", "MakeMezzanine", "MakeRtin",
                                "MakeMD5", "MakeWrap", "SendMessages"})
        store.setValue(element, 0);
    store.endGroup();
    store.sync();
}

// Seconds from the start of instance 0's scan to its end, with `polled` a client asking the
// dashboard every second meanwhile. The event loop runs throughout, as in the program.
double scanSeconds(const QString& root, const QString& database, bool polled)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(database + suffix);
    storeSettings(root, database);
    Program program;
    web::Dashboard dashboard(program);
    CQZClipwatch& instance = *program.instances.first();
    instance.LoadDatabase();
    std::atomic<bool> done{false};
    std::atomic<int> answers{0};
    std::thread client([&] {
        httplib::Client http("127.0.0.1", kPort);
        while (polled && !done) {
            for (const char* path : {"/api/instances", "/metrics"})
                if (http.Get(path))
                    ++answers;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });
    const BenchClock::time_point began = BenchClock::now();
    instance.StartScanning();
    // The walk and the search; what follows waits for the processor and the service.
    while (instance.state == CQZClipwatch::cwsFindDirectories ||
           instance.state == CQZClipwatch::cwsFindClips)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double seconds = secondsSince(began);
    done = true;
    client.join();
    std::printf("  %-22s %7.2f s (%d dashboard answers), %d clips\n",
                polled ? "polled every second" : "no client", seconds, answers.load(),
                instance.counts[CWS_COUNT_FILES].load());
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir scratch("/dev/shm/clipwatch-bench-XXXXXX");
    qputenv("CLIPWATCH_LOG_DIR", scratch.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (scratch.path() + "/config").toUtf8());
    ErrLogSetFileName("bench_dashboard");
    const ScanTree tree = makeTree(scratch.path() + "/tree", files, files / 100);
    std::printf("%zu clips in %zu directories; a scan to its end (with the 10 ms pause per "
                "directory)\n",
                tree.clipCount, tree.folders.size());
    const QString database = scratch.path() + "/clips.db";
    // Alternated twice, the faster of each kept: other work of the machine weighs on one run.
    double quiet = 1e9, polled = 1e9;
    for (int round = 0; round < 2; ++round) {
        quiet = std::min(quiet, scanSeconds(tree.root, database, false));
        polled = std::min(polled, scanSeconds(tree.root, database, true));
    }
    std::printf("  polled / no client %.3f\n", polled / quiet);
    ErrLogClose();
    return 0;
}
