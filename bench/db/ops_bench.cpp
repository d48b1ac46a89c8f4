// Operations of an instance on a large clip database, at 200k and at 1M clips (made fast by
// bench/db/clipfill.h, then opened through a scanner instance): each one's time, its growth
// from 200k to 1M, and at 1M its ratio to a raw SQL floor for the same rows.
//   Clear Errors, 100k clips failed     floor: one UPDATE of those rows through the Complete index
//   Clear Processes, every clip finished floor: one UPDATE pass over every clip
//   status refresh after a foreign write floor: one raw pass reading every state column
//   start-up recovery (RecoverInProgress), 10k clips in progress
//                                        floor: those rows read through the index and each
//                                        written once, in one transaction
// The instance is held in the exiting state so that neither its job monitor (no service
// follows the re-queued jobs) nor its status thread runs beside the operations.
// Usage: bench_db_ops [--small] [folder]   (--small: 20k and 100k clips, 10k failed, 1k in
// progress; default folder: a new one under /dev/shm)
#include "bench/common/benchclock.h"
#include "bench/common/rawdb.h"
#include "bench/db/clipfill.h"
#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace
{

// The clips of a run and how many of them each operation starts from.
struct Shape {
    int clips;      // clips in the database
    int failed;     // clips failed before Clear Errors
    int inProgress; // clips in progress before the recovery
};

// Every clip back to finished (not timed).
bool finishAll(sqlite3* raw)
{
    return execRaw(raw, "UPDATE Clips SET Complete=1, PiconValue=1, ProxyValue=1, "
                        "MD5='0123456789abcdef0123456789abcdef' WHERE Complete IS NOT 1 OR "
                        "PiconValue IS NOT 1 OR ProxyValue IS NOT 1 OR MD5 IS NULL");
}

// Sets the clip and its proxy to `state` on `count` clips spread over the table.
bool markClips(sqlite3* raw, const Shape& shape, int count, int state)
{
    const std::string sql = "UPDATE Clips SET Complete=" + std::to_string(state) +
                            ", ProxyValue=" + std::to_string(state) + " WHERE ID % " +
                            std::to_string(shape.clips / count) + " = 0";
    return execRaw(raw, sql.c_str());
}

long long countWhere(sqlite3* raw, const char* condition)
{
    const std::string sql = std::string("SELECT COUNT(*) FROM Clips WHERE ") + condition;
    return RawStatement(raw, sql.c_str()).firstInteger();
}

double timedMs(const std::function<void()>& work)
{
    const BenchClock::time_point start = BenchClock::now();
    work();
    return secondsSince(start) * 1000;
}

// One operation: the program's way and the floor, each giving milliseconds (or -1 when the
// outcome was wrong), and each leaving every clip finished.
struct Operation {
    const char* name;
    std::function<double(sqlite3*, CQZClipwatch&, const Shape&)> program;
    std::function<double(sqlite3*, const Shape&)> floor;
};

double clearErrors(sqlite3* raw, CQZClipwatch& instance, const Shape& shape)
{
    markClips(raw, shape, shape.failed, QZ_ERROR);
    const double ms = timedMs([&] { instance.ClearErrors(); });
    const bool right = countWhere(raw, "Complete=4 OR ProxyValue=4") == 0;
    finishAll(raw);
    return right ? ms : -1;
}

double clearErrorsFloor(sqlite3* raw, const Shape& shape)
{
    markClips(raw, shape, shape.failed, QZ_ERROR);
    const double ms = timedMs([&] {
        execRaw(raw, "UPDATE Clips SET Complete=0, ProxyValue=0 WHERE Complete IN (2, 3, 4, 5, "
                     "6, 7)");
    });
    finishAll(raw);
    return ms;
}

double clearProcesses(sqlite3* raw, CQZClipwatch& instance, const Shape&)
{
    const double ms = timedMs([&] { instance.ClearProcesses(); });
    const bool right = countWhere(raw, "Complete=1 OR ProxyValue=1 OR MD5 IS NOT NULL") == 0;
    finishAll(raw);
    return right ? ms : -1;
}

double clearProcessesFloor(sqlite3* raw, const Shape&)
{
    const double ms = timedMs(
        [&] { execRaw(raw, "UPDATE Clips SET Complete=0, PiconValue=0, ProxyValue=0, MD5=NULL"); });
    finishAll(raw);
    return ms;
}

// Median of 5 refreshes, each after one clip written through another connection.
double statusRefresh(sqlite3* raw, CQZClipwatch& instance, const Shape& shape)
{
    const std::shared_ptr<dbCwsHandle> db = instance.Database();
    dbCwsCounts counts{};
    RawStatement write(raw, "UPDATE Clips SET Complete=? WHERE ID=?");
    const double ms = medianMs(
        5, [&](int run) { write.integer(1, run % 2 ? 0 : 1).integer(2, run + 1).run(); },
        [&] { dbCWSGetAllCounts(db.get(), counts); });
    finishAll(raw);
    dbCWSGetAllCounts(db.get(), counts);
    return counts[CWS_COUNT_FILES] == shape.clips && counts[CWS_COUNT_COMPLETED] == shape.clips
               ? ms
               : -1;
}

double statusRefreshFloor(sqlite3* raw, const Shape&)
{
    std::string sql = "SELECT COUNT(*), MAX(MD5)";
    for (const dbCwsElement& element : dbCwsElements())
        if (!element.stateColumn.empty())
            sql += ", MAX(" + element.stateColumn + ")";
    sql += " FROM Clips";
    RawStatement clips(raw, sql.c_str());
    RawStatement dirs(raw, "SELECT COUNT(*), MAX(Checked) FROM Directories");
    return medianMs(
        5, [](int) {}, [&] { clips.run() && dirs.run(); });
}

double recovery(sqlite3* raw, CQZClipwatch& instance, const Shape& shape)
{
    markClips(raw, shape, shape.inProgress, QZ_IN_PROGRESS);
    const double ms = timedMs([&] { instance.RecoverInProgress(); });
    const bool right = instance.checkThread.jobList.size() == shape.inProgress;
    finishAll(raw);
    return right ? ms : -1;
}

double recoveryFloor(sqlite3* raw, const Shape& shape)
{
    markClips(raw, shape, shape.inProgress, QZ_IN_PROGRESS);
    const double ms = timedMs([&] {
        std::vector<long long> ids;
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(raw, "SELECT ID FROM Clips WHERE Complete=2", -1, &select, nullptr);
        while (sqlite3_step(select) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int64(select, 0));
        sqlite3_finalize(select);
        execRaw(raw, "BEGIN");
        RawStatement write(raw, "UPDATE Clips SET Complete=8 WHERE ID=?");
        for (long long id : ids)
            write.integer(1, id).run();
        execRaw(raw, "COMMIT");
    });
    finishAll(raw);
    return ms;
}

const std::vector<Operation>& operations()
{
    static const std::vector<Operation> list{
        {"Clear Errors", clearErrors, clearErrorsFloor},
        {"Clear Processes", clearProcesses, clearProcessesFloor},
        {"status refresh after a foreign write", statusRefresh, statusRefreshFloor},
        {"RecoverInProgress", recovery, recoveryFloor},
    };
    return list;
}

void storeSettings(const QString& file, const QString& dir)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.clear();
    store.setValue("Instance0/Dir", dir + "/");
    store.setValue("Instance0/DataBase", file);
    store.setValue("Instance0/DBType", 1);
    store.setValue("Instance0/MakeProxy", 1);
    store.setValue("Instance0/DebugOutFlags", 0);
    store.sync();
}

void removeDatabaseFile(const QString& file)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(file + suffix);
}

struct Run {
    std::vector<double> program; // ms per operation
    std::vector<double> floor;   // ms per operation (largest size only)
};

// Every operation at `shape`, and its floor when `withFloor`. Empty on a failed fill.
Run runAt(const QString& folder, const Shape& shape, bool withFloor)
{
    Run run;
    const QString file = QString("%1/ops%2.db").arg(folder).arg(shape.clips);
    const BenchClock::time_point filled = BenchClock::now();
    if (!fillClipDatabase(file, shape.clips))
        return run;
    std::printf("%d clips: filled in %.1f s\n", shape.clips, secondsSince(filled));
    storeSettings(file, folder);
    sqlite3* raw = openRaw(file);
    {
        CQZClipwatch instance(0, "127.0.0.1");
        instance.state = CQZClipwatch::cwsApplicationExiting;
        instance.LoadDatabase();
        for (const Operation& op : operations()) {
            run.program.push_back(op.program(raw, instance, shape));
            std::printf("  %-40s %10.1f ms\n", op.name, run.program.back());
        }
    }
    for (const Operation& op : operations())
        if (withFloor)
            run.floor.push_back(op.floor(raw, shape));
    sqlite3_close(raw);
    removeDatabaseFile(file);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool small = args.contains("--small");
    QTemporaryDir scratch("/dev/shm/clipwatch-bench-XXXXXX");
    QString folder = scratch.path();
    for (int i = 1; i < args.size(); ++i)
        if (!args[i].startsWith("--"))
            folder = args[i];
    qputenv("CLIPWATCH_LOG_DIR", folder.toUtf8());
    qputenv("XDG_CONFIG_HOME", (folder + "/config").toUtf8());
    ErrLogSetFileName("bench_db_ops");
    CQZClipwatch::instanceCount = 1;

    const int largest = small ? 100000 : 1000000;
    const Shape smaller{largest / 5, largest / 10, largest / 100};
    const Shape larger{largest, largest / 10, largest / 100};
    const Run a = runAt(folder, smaller, false);
    const Run b = runAt(folder, larger, true);
    if (a.program.empty() || b.program.empty()) {
        std::printf("cannot fill the clip database\n");
        return 1;
    }
    std::printf("\n%d failed clips cleared, %d in progress recovered\n", larger.failed,
                larger.inProgress);
    std::printf("%-40s %10s %10s %7s %10s %7s\n", "operation", "ms smaller", "ms larger", "growth",
                "floor ms", "ratio");
    bool right = true;
    for (size_t i = 0; i < operations().size(); ++i) {
        std::printf("%-40s %10.1f %10.1f %7.2f %10.1f %7.1f\n", operations()[i].name, a.program[i],
                    b.program[i], b.program[i] / a.program[i], b.floor[i],
                    b.program[i] / b.floor[i]);
        right = right && a.program[i] >= 0 && b.program[i] >= 0;
    }
    std::printf("sizes: %d and %d clips; every outcome right: %s\n", smaller.clips, larger.clips,
                right ? "yes" : "NO");
    ErrLogClose();
    return right ? 0 : 1;
}
