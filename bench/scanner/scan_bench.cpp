// Scan of a generated tree on tmpfs by a scanner instance (bench/scanner/instancescan.h) beside
// the floor of the same work (bench/scanner/scanfloor.h), measured in the same run: walk,
// search, floor, their ratio and the cost per file; the per-file cost against the next smaller
// size; a full rescan of the unchanged tree against the first scan; the first scan with the
// check of files still being written on against it off; the resident size before,
// during and after each scan; and, when asked, the same scan on the private MariaDB as a ratio
// to SQLite (its search stopped at a time budget).
// Usage: bench_scanner [--small | --large] [--mysql] [--mysql-large] [--mysql-budget S]
//                      [--root DIR]
//   sizes, 100 clips per folder: 100k (default); 10k (--small); 100k and 1M (--large).
//   --mysql scans 100k (10k with --small) on MariaDB too; --mysql-large also 1M.
#include "bench/common/benchclock.h"
#include "bench/common/benchmysql.h"
#include "bench/common/procmemory.h"
#include "bench/scanner/instancescan.h"
#include "bench/scanner/scanfloor.h"
#include "bench/scanner/tree.h"
#include "platform/qzlog.h"
#include "platform/qzmemory.h"
#include "scanner/clipwatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>
#include <limits>

namespace
{

struct Size {
    int files;   // clips
    int folders; // folders holding them
};

struct Options {
    std::vector<Size> sizes{{100000, 1000}};
    bool mysql = false;        // scan on MariaDB too
    int mysqlLargest = 100000; // largest size scanned on MariaDB
    double mysqlBudget = 300;  // seconds of MariaDB search before it stops
    QString root;              // where trees and files go; empty: a new folder on /dev/shm
};

Options parse(const QStringList& args)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--small")
            o.sizes = {{10000, 100}};
        else if (a == "--large")
            o.sizes = {{100000, 1000}, {1000000, 10000}};
        else if (a == "--mysql")
            o.mysql = true;
        else if (a == "--mysql-large")
            o.mysql = true, o.mysqlLargest = 1000000;
        else if (a == "--mysql-budget" && !next.isEmpty())
            o.mysqlBudget = args[++i].toDouble();
        else if (a == "--root" && !next.isEmpty())
            o.root = args[++i];
    }
    if (o.sizes.front().files == 10000)
        o.mysqlLargest = 10000;
    return o;
}

void removeDatabaseFile(const QString& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(file + suffix);
}

void printScan(const char* label, const ScanFigures& f, size_t files)
{
    std::printf("  %-8s walk %6.2f s, search %7.2f s, total %7.2f s, %6.1f us per file "
                "(processor: user %.2f s, system %.2f s)\n",
                label, f.walk, f.search, f.walk + f.search, (f.walk + f.search) * 1e6 / files,
                f.cpu.user, f.cpu.system);
}

// What one size gave; total seconds are walk plus search.
struct SizeFigures {
    Size size{};
    double scan = 0;    // first scan
    double rescan = 0;  // full rescan of the unchanged tree
    double floor = 0;   // the floor
    double settled = 0; // first scan with the settle check on
    double mysql = -1;  // first scan on MariaDB (-1: not run; whole only)
    bool rowsRight = true;
};

// The SQLite scan and rescan of `tree`, with the resident sizes around the first scan.
SizeFigures scanOnSQLite(const ScanTree& tree, const QString& dbFile, const Size& size)
{
    SizeFigures out{size};
    storeScanSettings(tree.root, {1, dbFile});
    const ProcMemory before = procMemory();
    double peak = 0;
    ProcMemory after;
    {
        CQZClipwatch instance(0, "127.0.0.1");
        instance.LoadDatabase();
        RssSampler sampler;
        const ScanFigures first =
            scanWithInstance(instance, false, std::numeric_limits<double>::infinity());
        peak = sampler.peak();
        after = procMemory();
        printScan("scan", first, tree.clipCount);
        std::fflush(stdout);
        const ScanFigures again =
            scanWithInstance(instance, true, std::numeric_limits<double>::infinity());
        printScan("rescan", again, tree.clipCount);
        out.scan = first.walk + first.search;
        out.rescan = again.walk + again.search;
        out.rowsRight = first.clips == static_cast<int>(tree.clipCount) &&
                        first.directories == static_cast<int>(tree.folders.size()) &&
                        again.clips == first.clips && again.directories == first.directories &&
                        first.searched == tree.folders.size() &&
                        again.searched == tree.folders.size();
        std::printf("  rows: %d directories, %d clips after the scan, %d and %d after the "
                    "rescan, every folder searched each time: %s\n",
                    first.directories, first.clips, again.directories, again.clips,
                    out.rowsRight ? "yes" : "NO");
    }
    const ProcMemory closed = procMemory();
    // "before" holds the tree's row lists of this benchmark; the instance adds the rest.
    std::printf("  memory   VmRSS before %.0f MiB, highest during the scan %.0f MiB (+%.1f), after "
                "it %.0f MiB (+%.1f), after the instance closed %.0f MiB; VmHWM %.0f MiB\n",
                before.rss, peak, peak - before.rss, after.rss, after.rss - before.rss, closed.rss,
                closed.hwm);
    removeDatabaseFile(dbFile);
    return out;
}

// The first scan again on a new database with the settle check on: every file is older than
// the settle time by now, so each one is checked (its writers asked for, its times compared)
// and taken. Total seconds.
double scanWithSettleCheck(const ScanTree& tree, const QString& dbFile)
{
    constexpr int kSettleSeconds = 1;
    sleep(kSettleSeconds + 1);
    storeScanSettings(tree.root, {1, dbFile}, kSettleSeconds);
    ScanFigures f;
    {
        CQZClipwatch instance(0, "127.0.0.1");
        instance.LoadDatabase();
        f = scanWithInstance(instance, false, std::numeric_limits<double>::infinity());
    }
    removeDatabaseFile(dbFile);
    printScan("settling", f, tree.clipCount);
    return f.clips == static_cast<int>(tree.clipCount) ? f.walk + f.search : -1;
}

// Microseconds per clip recorded over the clips from share `from` to share `to` of those the
// search recorded, and the table size (clips) in the middle of that stretch.
std::pair<double, double> costOver(const ScanFigures& f, double from, double to)
{
    const int last = f.progress.back().second;
    auto at = [&](double share) {
        for (const auto& step : f.progress)
            if (step.second >= share * last)
                return step;
        return f.progress.back();
    };
    const auto a = at(from), b = at(to);
    const int clips = std::max(1, b.second - a.second);
    return {(b.first - a.first) * 1e6 / clips, (a.second + b.second) / 2.0};
}

// A search cut short: the cost per clip half-way and at its end, and the whole search estimated
// with that cost growing in step with the table (c(k) = a + b k, summed to `clips`).
void printGrowth(const ScanFigures& f, size_t clips)
{
    if (f.progress.size() < 4)
        return;
    const auto [early, earlyAt] = costOver(f, 0.4, 0.5);
    const auto [late, lateAt] = costOver(f, 0.9, 1.0);
    const double b = (late - early) / std::max(1.0, lateAt - earlyAt);
    const double a = early - b * earlyAt;
    const double n = static_cast<double>(clips);
    const double estimate = (a * n + b * n * n / 2) / 1e6;
    std::printf("  MySQL    cost per clip %.0f us at %.0f clips in the table, %.0f us at %.0f; "
                "the whole search at that growth: about %.0f s\n",
                early, earlyAt, late, lateAt, estimate);
}

// The first scan of `tree` on MariaDB: its total seconds, or -1 when skipped or cut short.
double scanOnMySQL(const ScanTree& tree, double budget)
{
    const std::string problem = benchmysql::problem();
    if (!problem.empty()) {
        std::printf("  MySQL    skipped: no server (%s)\n", problem.c_str());
        return -1;
    }
    const QString name = QString("clipwatch_bench_%1").arg(getpid());
    benchmysql::drop(name);
    storeScanSettings(tree.root, {2, name});
    ScanFigures f;
    {
        CQZClipwatch instance(0, "127.0.0.1");
        instance.LoadDatabase();
        f = scanWithInstance(instance, false, budget);
    }
    benchmysql::drop(name);
    printScan("MySQL", f, f.whole ? tree.clipCount : std::max(1, f.clips));
    if (f.whole)
        return f.walk + f.search;
    std::printf("  MySQL    stopped at the %.0f s budget: %d of %zu clips, %zu of %zu "
                "directories searched (per-file figure above is per clip recorded)\n",
                budget, f.clips, tree.clipCount, f.searched, tree.folders.size());
    printGrowth(f, tree.clipCount);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    qzOSKeepFreedHeap(); // as the program does
    QCoreApplication app(argc, argv);
    const Options options = parse(app.arguments());
    QTemporaryDir scratch("/dev/shm/clipwatch-bench-XXXXXX");
    const QString root = options.root.isEmpty() ? scratch.path() : options.root;
    qputenv("CLIPWATCH_LOG_DIR", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    ErrLogSetFileName("bench_scanner");
    CQZClipwatch::instanceCount = 1;

    std::vector<SizeFigures> results;
    for (const Size& size : options.sizes) {
        const QString tree = QString("%1/tree%2").arg(root).arg(size.files);
        const BenchClock::time_point made = BenchClock::now();
        const ScanTree rows = makeTree(tree, size.files, size.folders);
        if (rows.clipCount == 0) {
            std::printf("cannot write the tree %s\n", tree.toUtf8().constData());
            return 1;
        }
        std::printf("%zu clips in %d folders (%zu directories), made in %.1f s; the search "
                    "leaves out the 10 ms pause per directory (%.1f s)\n",
                    rows.clipCount, size.folders, rows.folders.size(), secondsSince(made),
                    rows.folders.size() * 0.010);
        SizeFigures figures =
            scanOnSQLite(rows, QString("%1/scan%2.db").arg(root).arg(size.files), size);
        figures.settled =
            scanWithSettleCheck(rows, QString("%1/settle%2.db").arg(root).arg(size.files));
        std::printf("  settle check on / off %.2f\n", figures.settled / figures.scan);
        const QString floorFile = QString("%1/floor%2.db").arg(root).arg(size.files);
        figures.floor = scanFloor(rows, floorFile);
        removeDatabaseFile(floorFile);
        std::printf("  floor    %7.2f s, %6.1f us per file; scan / floor %.2f; rescan / scan "
                    "%.2f\n",
                    figures.floor, figures.floor * 1e6 / rows.clipCount,
                    figures.scan / figures.floor, figures.rescan / figures.scan);
        if (options.mysql && size.files <= options.mysqlLargest) {
            figures.mysql = scanOnMySQL(rows, options.mysqlBudget);
            if (figures.mysql > 0)
                std::printf("  MySQL / SQLite scan %.2f\n", figures.mysql / figures.scan);
        }
        results.push_back(figures);
        QDir(tree).removeRecursively();
    }

    std::printf("\n%9s %9s %9s %9s %9s %11s %9s %9s %9s\n", "clips", "scan s", "floor s", "ratio",
                "us/file", "vs smaller", "rescan", "settle", "MySQL");
    bool right = true;
    for (size_t i = 0; i < results.size(); ++i) {
        const SizeFigures& r = results[i];
        const double perFile = r.scan / r.size.files;
        std::printf("%9d %9.2f %9.2f %9.2f %9.1f", r.size.files, r.scan, r.floor, r.scan / r.floor,
                    perFile * 1e6);
        if (i > 0)
            std::printf(" %11.2f", perFile / (results[i - 1].scan / results[i - 1].size.files));
        else
            std::printf(" %11s", "-");
        std::printf(" %9.2f %9.2f", r.rescan / r.scan, r.settled / r.scan);
        if (r.mysql > 0)
            std::printf(" %9.2f", r.mysql / r.scan);
        std::printf("\n");
        right = right && r.rowsRight && r.floor > 0 && r.settled > 0;
    }
    ErrLogClose();
    return right ? 0 : 1;
}
