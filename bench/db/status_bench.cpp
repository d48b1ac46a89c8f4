// Status refresh on SQLite with 200k clips and 20k directories: every count of the status
// texts at once (dbCWSGetAllCounts) beside the one-statement-per-count operations, when nothing
// changed, after writes of a scan on the same connection (the status thread's usual case), and
// after a write through a second handle, which makes the connection's count cache recount.
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

// Median time of `work` over 7 runs, each after `before` (not timed).
template <typename Before, typename Work> double medianMs(Before before, Work work)
{
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        before(run);
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// What a scan writes between two refreshes: new clips and directories, element outcomes and
// clip states, each its own statement.
void scanWrites(dbCwsHandle* handle, int run)
{
    for (int i = 0; i < 100; ++i) {
        const std::string clip = "/scan/new" + std::to_string(run) + "/clip" + std::to_string(i);
        dbCWSAddClip(handle, "clip.mxf", clip, "/scan/new");
        dbCWSAddDirectory(handle, clip + ".dir", 0);
        dbCWSSetElementStatus(handle, -1,
                              "/scan/d" + std::to_string(i) + "/clip" +
                                  std::to_string(i * 7 + run) + ".mxf",
                              CWS_ELEMENT_PROXY, nullptr, "/out/p.mp4", 1 + (i + run) % 5, nullptr);
        dbCWSSetElementStatus(handle, -1, clip, CWS_ELEMENT_CLIP, nullptr, nullptr, i % 3, nullptr);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch(QDir::tempPath() + "/clipwatch-bench-XXXXXX");
    const QString folder = argc > 1 ? QString(argv[1]) : scratch.path();
    qputenv("CLIPWATCH_LOG_DIR", folder.toUtf8());
    ErrLogSetFileName("bench_db_status");
    const QString file = folder + "/status.db";
    dbCwsHandle* handle = dbCWSOpen(file, "bench", CWS_DB_SQLITE | CWS_DB_CREATE, "", "", "");
    dbCwsHandle* other = dbCWSOpen(file, "other", CWS_DB_SQLITE, "", "", "");
    if (!handle || !other)
        return 1;
    fill(*handle->sqlite);

    auto nothing = [](int) {};
    dbCwsCounts one{}, all{};
    const double singleMs = medianMs(nothing, [&] { one = dbCWSGetSingleCounts(handle); });
    const double unchangedMs = medianMs(nothing, [&] { dbCWSGetAllCounts(handle, all); });
    const bool unchangedEqual = all == one;
    const double scanningMs = medianMs([&](int run) { scanWrites(handle, run); },
                                       [&] { dbCWSGetAllCounts(handle, all); });
    const bool scanningEqual = all == dbCWSGetSingleCounts(handle);
    const double foreignMs = medianMs(
        [&](int run) {
            dbCWSUpdateDirectoryCheck(other, "/scan/d" + std::to_string(run), 1);
            dbCWSAddClip(other, "clip.mxf", "/scan/other" + std::to_string(run), "/scan");
        },
        [&] { dbCWSGetAllCounts(handle, all); });
    const bool foreignEqual = all == dbCWSGetSingleCounts(handle);
    const bool equal = unchangedEqual && scanningEqual && foreignEqual;

    std::printf("status refresh, %d clips, %d directories (median of 7)\n", clipCount,
                directoryCount);
    std::printf("  one statement per count:                  %8.3f ms\n", singleMs);
    std::printf("  dbCWSGetAllCounts, nothing changed:       %8.3f ms\n", unchangedMs);
    std::printf("  dbCWSGetAllCounts, after 400 scan writes: %8.3f ms\n", scanningMs);
    std::printf("  dbCWSGetAllCounts, after another handle's write (recount): %8.3f ms\n",
                foreignMs);
    std::printf("  counts equal: %s\n", equal ? "yes" : "NO");
    dbCWSClose(other);
    dbCWSClose(handle);
    ErrLogClose();
    return equal ? 0 : 1;
}
