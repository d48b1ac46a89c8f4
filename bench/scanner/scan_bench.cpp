// Walk and clip search of a generated tree on tmpfs through DirectoryVisited and CreateClipList
// on a real SQLite file, beside the floor of the same work: `find` over the tree plus raw
// prepared inserts of the same directory and clip rows, each its own write.
// Usage: bench_scanner [root folder on tmpfs] [sizes]
// (default: a new folder under /dev/shm; sizes 1 runs the 10k tree only, for profiling)
#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "platform/qzrecurse.h"
#include "scanner/clipwatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace
{

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process so far, user and system.
std::pair<double, double> cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

// A tree of `folders` folders (groups of ten below parent folders) of `files / folders`
// clips each. Returns the directory rows and clip rows that a scan records.
void makeTree(const QString& root, int files, int folders, std::vector<std::string>* dirs,
              std::vector<std::string>* clips)
{
    const int perFolder = files / folders;
    dirs->push_back(root.toStdString() + "/");
    for (int d = 0; d < folders; ++d) {
        const QString parent = QString("%1/p%2").arg(root).arg(d / 10);
        if (d % 10 == 0)
            dirs->push_back(parent.toStdString() + "/");
        const QString dir = QString("%1/d%2").arg(parent).arg(d);
        QDir().mkpath(dir);
        dirs->push_back(dir.toStdString() + "/");
        for (int f = 0; f < perFolder; ++f) {
            const QString path = QString("%1/clip%2.mov").arg(dir).arg(f);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write("media");
            clips->push_back(path.toStdString());
        }
    }
}

// The scanner's path: the walk, then every recorded directory searched for clips.
double scanWithInstance(const QString& tree, const QString& dbFile)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.clear();
    store.setValue("Instance0/Dir", tree + "/");
    store.setValue("Instance0/DataBase", dbFile);
    store.setValue("Instance0/DBType", 1);
    store.setValue("Instance0/DebugOutFlags", 0);
    store.sync();
    CQZClipwatch instance(0, "127.0.0.1");
    instance.LoadDatabase();
    const std::shared_ptr<dbCwsHandle> db = instance.Database();
    const auto start = std::chrono::steady_clock::now();
    const auto cpuStart = cpuSeconds();
    instance.state = CQZClipwatch::cwsFindDirectories;
    const std::string root = (tree + "/").toStdString();
    dbCWSAddDirectory(db.get(), root, 0);
    qzOSRecurseDirectory(&instance, root, CQZClipwatch::DirectoryVisited, 0x9001);
    // As at the end of a walk: every directory it recorded is ready for the clip search.
    dbCWSMoveDirectoryChecks(db.get(), QZ_FOUND_FILE, 0);
    instance.state = CQZClipwatch::cwsFindClips;
    std::string dir;
    while (dbCWSGetNextDirectoryToCheck(db.get(), dir) == 0 && !dir.empty()) {
        dbCWSUpdateDirectoryCheck(db.get(), dir, 2);
        instance.CreateClipList(dir);
        dbCWSUpdateDirectoryCheck(db.get(), dir, 1);
    }
    const double seconds = secondsSince(start);
    const auto cpuEnd = cpuSeconds();
    instance.state = CQZClipwatch::cwsNotRunning;
    std::printf("  recorded %d directories, %d clips; processor time user %.2f s, system %.2f s\n",
                dbCWSGetDirectoryCount(db.get()), dbCWSGetFileCount(db.get()),
                cpuEnd.first - cpuStart.first, cpuEnd.second - cpuStart.second);
    return seconds;
}

bool run(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The floor: find over the tree, then one prepared insert per row, each its own write.
double floorOf(const QString& tree, const QString& dbFile, const std::vector<std::string>& dirs,
               const std::vector<std::string>& clips)
{
    dbCWSClose(dbCWSOpen(dbFile, "floor", CWS_DB_SQLITE | CWS_DB_CREATE, "", "", ""));
    sqlite3* db = nullptr;
    sqlite3_open(dbFile.toUtf8().constData(), &db);
    run(db, "PRAGMA journal_mode=WAL;");
    run(db, "PRAGMA synchronous=NORMAL;");
    const auto start = std::chrono::steady_clock::now();
    const std::string command = "find '" + tree.toStdString() + "' > /dev/null";
    if (std::system(command.c_str()) != 0)
        std::printf("  find failed\n");
    sqlite3_stmt* dir = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Directories (Directory, Checked) VALUES (?, 1);", -1, &dir,
                       nullptr);
    for (const std::string& d : dirs) {
        sqlite3_bind_text(dir, 1, d.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(dir);
        sqlite3_reset(dir);
    }
    sqlite3_stmt* clip = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete) "
                       "VALUES (?, ?, ?, 0);",
                       -1, &clip, nullptr);
    for (const std::string& c : clips) {
        const size_t slash = c.rfind('/');
        sqlite3_bind_text(clip, 1, c.c_str() + slash + 1, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(clip, 2, c.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(clip, 3, c.substr(0, slash + 1).c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(clip);
        sqlite3_reset(clip);
    }
    const double seconds = secondsSince(start);
    sqlite3_finalize(dir);
    sqlite3_finalize(clip);
    sqlite3_close(db);
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch("/dev/shm/clipwatch-bench-XXXXXX");
    const QString root = argc > 1 && *argv[1] ? QString(argv[1]) : scratch.path();
    qputenv("CLIPWATCH_LOG_DIR", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    ErrLogSetFileName("bench_scanner");
    struct Size {
        int files;
        int folders;
    };
    const std::vector<Size> sizes{{10000, 2000}, {100000, 20000}};
    const size_t runs =
        argc > 2 ? std::clamp<size_t>(std::atoi(argv[2]), 1, sizes.size()) : sizes.size();
    double perFile10k = 0;
    for (size_t i = 0; i < runs; ++i) {
        const Size size = sizes[i];
        const QString tree = QString("%1/tree%2").arg(root).arg(size.files);
        std::vector<std::string> dirs, clips;
        makeTree(tree, size.files, size.folders, &dirs, &clips);
        std::printf("%d files in %d folders:\n", size.files, size.folders);
        const double scanner =
            scanWithInstance(tree, QString("%1/scan%2.db").arg(root).arg(size.files));
        const double floor =
            floorOf(tree, QString("%1/floor%2.db").arg(root).arg(size.files), dirs, clips);
        const double perFile = scanner / size.files * 1e6;
        if (size.files == 10000)
            perFile10k = perFile;
        std::printf("  scanner %.2f s (%.1f us per file), floor %.2f s, ratio %.2f", scanner,
                    perFile, floor, scanner / floor);
        if (size.files != 10000)
            std::printf(", per-file cost vs 10k %.2f", perFile / perFile10k);
        std::printf("\n");
        QDir(tree).removeRecursively();
    }
    ErrLogClose();
    return 0;
}
