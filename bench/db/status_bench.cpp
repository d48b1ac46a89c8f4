// Status refresh on SQLite with 200k clips and 20k directories: every count of the status
// texts at once (dbCWSGetAllCounts) beside the one-statement-per-count operations.
// Usage: bench_db_status [folder]   (default: a new folder under /tmp)
#include "db/dbcws.h"
#include "platform/qzlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace
{

constexpr int clipCount = 200000;
constexpr int directoryCount = 20000;

// Fills the tables with raw inserts in one transaction; states mix every code and NULL.
void fill(CSQLite3DataBase& database)
{
    std::mt19937 random(851);
    std::uniform_int_distribution<int> code(-1, 9);
    auto state = [&]() -> CSQLite3Value {
        const int c = code(random);
        return c < 0 ? CSQLite3Value() : CSQLite3Value(static_cast<long long>(c));
    };
    const char* md5s[] = {nullptr, "in progress", "Error", "0123456789abcdef", "lost process"};
    std::string sql = "INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete, MD5";
    std::string marks = "?, ?, ?, ?, ?";
    for (const dbCwsElement& element : dbCwsElements())
        if (element.kind == dbCwsElementKind::Output ||
            element.kind == dbCwsElementKind::Numbered) {
            sql += ", " + element.stateColumn + ", " + element.pathColumn;
            marks += ", ?, ?";
        }
    sql += ") VALUES (" + marks + ")";
    database.execQuery("BEGIN");
    for (int i = 0; i < clipCount; ++i) {
        const std::string dir = "/scan/d" + std::to_string(i % directoryCount);
        std::vector<CSQLite3Value> values{std::string("clip.mxf"),
                                          dir + "/clip" + std::to_string(i) + ".mxf", dir, state()};
        const char* md5 = md5s[i % 5];
        values.push_back(md5 ? CSQLite3Value(std::string(md5)) : CSQLite3Value());
        for (const dbCwsElement& element : dbCwsElements())
            if (element.kind == dbCwsElementKind::Output ||
                element.kind == dbCwsElementKind::Numbered) {
                values.push_back(state());
                values.push_back(std::string("/out/file") + std::to_string(i) + ".mp4");
            }
        database.execQuery(sql, values);
    }
    for (int i = 0; i < directoryCount; ++i)
        database.execQuery("INSERT INTO Directories (Directory, Checked) VALUES (?, ?)",
                           {"/scan/d" + std::to_string(i), state()});
    database.execQuery("COMMIT");
}

template <typename Work> double medianMs(Work work)
{
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch(QDir::tempPath() + "/clipwatch-bench-XXXXXX");
    const QString folder = argc > 1 ? QString(argv[1]) : scratch.path();
    qputenv("CLIPWATCH_LOG_DIR", folder.toUtf8());
    ErrLogSetFileName("bench_db_status");
    dbCwsHandle* handle =
        dbCWSOpen(folder + "/status.db", "bench", CWS_DB_SQLITE | CWS_DB_CREATE, "", "", "");
    if (!handle)
        return 1;
    fill(*handle->sqlite);

    using Single = int (*)(dbCwsHandle*);
    const Single singles[CWS_COUNT_KINDS] = {
        dbCWSGetDirectoryCount,     dbCWSGetSearchedCount,    dbCWSGetDirectoryErrorCount,
        dbCWSGetFileCount,          dbCWSGetCompletedCount,   dbCWSGetRemainingCount,
        dbCWSGetWaitingCount,       dbCWSGetErrorCount,       dbCWSGetMD5ProcessesInProgress,
        dbCWSGetProcessesCompleted, dbCWSGetProcessesErrored, dbCWSGetProcessesInProgress};
    dbCwsCounts one{}, all{};
    const double singleMs = medianMs([&] {
        for (size_t n = 0; n < one.size(); ++n)
            one[n] = singles[n](handle);
    });
    const double allMs = medianMs([&] { dbCWSGetAllCounts(handle, all); });
    std::printf("status refresh, %d clips, %d directories (median of 7)\n", clipCount,
                directoryCount);
    std::printf("  one statement per count: %8.1f ms\n", singleMs);
    std::printf("  dbCWSGetAllCounts:       %8.1f ms\n", allMs);
    std::printf("  counts equal: %s\n", one == all ? "yes" : "NO");
    dbCWSClose(handle);
    ErrLogClose();
    return one == all ? 0 : 1;
}
