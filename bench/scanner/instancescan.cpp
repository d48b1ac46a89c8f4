// The program's scan of a tree, by a scanner instance.
#include "bench/scanner/instancescan.h"

#include "bench/common/benchmysql.h"
#include "db/dbcws.h"
#include "scanner/clipwatch.h"

#include <QSettings>

void storeScanSettings(const QString& root, const ScanDatabase& database, int settleSeconds)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.clear();
    store.beginGroup("Instance0");
    store.setValue("Dir", root + "/");
    store.setValue("DataBase", database.name);
    store.setValue("DBType", database.type);
    store.setValue("DebugOutFlags", 0);
    store.setValue("SettleSeconds", settleSeconds);
    if (database.type == 2) {
        store.setValue("DBUsername", benchmysql::user());
        store.setValue("DBPassword", benchmysql::password());
        store.setValue("DBHost", benchmysql::host());
    }
    store.endGroup();
    store.sync();
}

namespace
{

// The walk of FindDirectories: the scan folder's own row, then the tree below it.
void walk(CQZClipwatch& instance, dbCwsHandle* db, const std::string& root)
{
    if (dbCWSAddDirectory(db, root, 0) == 0)
        ++instance.counts[CWS_COUNT_DIRECTORIES];
    else
        dbCWSUpdateDirectoryCheck(db, root, QZ_FOUND_FILE);
    instance.WalkTree(root);
    dbCWSMoveDirectoryChecks(db, QZ_FOUND_FILE, 0);
}

// One pass of FindClips: the next directory to search, searched and marked. False when none
// is left, or when the search was cut short (it would be searched again).
bool searchNext(CQZClipwatch& instance, dbCwsHandle* db)
{
    if (!instance.ScanFolderReady())
        return false;
    std::string directory;
    if (dbCWSGetNextDirectoryToCheck(db, directory) != 0 || directory.empty())
        return false;
    return instance.SearchDirectory(directory);
}

} // namespace

ScanFigures scanWithInstance(CQZClipwatch& instance, bool rescan, double budget)
{
    const std::shared_ptr<dbCwsHandle> db = instance.Database();
    const std::string root = instance.Settings().Dir;
    ScanFigures figures;
    const CpuTime cpuStart = cpuTime();
    instance.fullRescan = rescan;
    instance.state = CQZClipwatch::cwsFindDirectories;
    BenchClock::time_point start = BenchClock::now();
    walk(instance, db.get(), root);
    figures.walk = secondsSince(start);
    instance.state = CQZClipwatch::cwsFindClips;
    start = BenchClock::now();
    while (searchNext(instance, db.get())) {
        ++figures.searched;
        figures.progress.emplace_back(secondsSince(start), instance.counts[CWS_COUNT_FILES].load());
        if (figures.progress.back().first > budget) {
            figures.whole = false;
            break;
        }
    }
    figures.search = secondsSince(start);
    const CpuTime cpuEnd = cpuTime();
    figures.cpu = {cpuEnd.user - cpuStart.user, cpuEnd.system - cpuStart.system};
    instance.state = CQZClipwatch::cwsNotRunning;
    instance.fullRescan = false;
    figures.directories = dbCWSGetDirectoryCount(db.get());
    figures.clips = dbCWSGetFileCount(db.get());
    return figures;
}
