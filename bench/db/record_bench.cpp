// Recording clips on SQLite in a file on disk as the clip search records them: listings of 100
// looked up and inserted together, each its own durable write, beside raw prepared inserts of
// the same rows in one transaction.
// Usage: bench_db_record [folder] [count]   (default: a new folder under /tmp, 100000)
#include "db/dbcws.h"
#include "platform/qzlog.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>

namespace
{

constexpr int kListing = 100;

std::string anchorOf(int i)
{
    return "/scan/d" + std::to_string(i % 1000) + "/clip" + std::to_string(i) + ".mxf";
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

dbCwsHandle* create(const QString& file)
{
    return dbCWSOpen(file, "bench", CWS_DB_SQLITE | CWS_DB_CREATE, "", "", "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch(QDir::tempPath() + "/clipwatch-bench-XXXXXX");
    const QString folder = argc > 1 ? QString(argv[1]) : scratch.path();
    const int count = argc > 2 ? std::stoi(argv[2]) : 100000;
    qputenv("CLIPWATCH_LOG_DIR", folder.toUtf8());
    ErrLogSetFileName("bench_db_record");

    dbCwsHandle* raw = create(folder + "/raw.db");
    dbCwsHandle* recorded = create(folder + "/recorded.db");
    if (!raw || !recorded)
        return 1;

    auto start = std::chrono::steady_clock::now();
    raw->sqlite->execQuery("BEGIN");
    for (int i = 0; i < count; ++i)
        raw->sqlite->execQuery("INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete) "
                               "VALUES (?, ?, ?, ?)",
                               {std::string("clip.mxf"), anchorOf(i), std::string("/scan"), 6LL});
    raw->sqlite->execQuery("COMMIT");
    const double rawSeconds = secondsSince(start);

    start = std::chrono::steady_clock::now();
    for (int begin = 0; begin < count; begin += kListing) {
        std::vector<std::string> anchors;
        std::vector<dbCwsNewClip> clips;
        for (int i = begin; i < std::min(count, begin + kListing); ++i) {
            anchors.push_back(anchorOf(i));
            clips.push_back({"clip.mxf", anchors.back(), QZ_FOUND_FILE, dbCwsFileStamp()});
        }
        dbCwsWriteBatch batch(recorded, "bench");
        dbCWSFindClips(recorded, "/scan", anchors);
        dbCWSInsertClips(recorded, "/scan", clips);
    }
    const double addSeconds = secondsSince(start);

    const bool complete = dbCWSGetFileCount(recorded) == count;
    std::printf("recording %d clips on disk (%s)\n", count, folder.toUtf8().constData());
    std::printf("  raw prepared inserts, one transaction: %7.2f s\n", rawSeconds);
    std::printf("  listings of %d, one durable write each: %7.2f s  (%.1f us per clip)\n", kListing,
                addSeconds, addSeconds * 1e6 / count);
    std::printf("  ratio: %.1f\n", addSeconds / rawSeconds);
    std::printf("  every clip recorded: %s\n", complete ? "yes" : "NO");
    dbCWSClose(raw);
    dbCWSClose(recorded);
    ErrLogClose();
    return complete ? 0 : 1;
}
