// The floor of a scan.
#include "bench/scanner/scanfloor.h"

#include "bench/common/benchclock.h"
#include "bench/common/rawdb.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace
{

bool readOneByte(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char byte = 0;
    const bool read = ::read(fd, &byte, 1) == 1;
    ::close(fd);
    return read;
}

bool recordFolder(sqlite3* db, RawStatement& addDir, RawStatement& addClip, const TreeFolder& f)
{
    bool ok = execRaw(db, "BEGIN") && addDir.text(1, f.dir).run();
    for (const std::string& clip : f.clips) {
        const size_t slash = clip.rfind('/');
        ok = ok && readOneByte(clip) &&
             addClip.text(1, std::string_view(clip).substr(slash + 1))
                 .text(2, clip)
                 .text(3, f.dir)
                 .run();
    }
    return execRaw(db, "COMMIT") && ok;
}

} // namespace

double scanFloor(const ScanTree& tree, const QString& dbFile)
{
    if (!createClipDatabase(dbFile))
        return -1;
    sqlite3* db = openRaw(dbFile);
    if (!db)
        return -1;
    bool ok = true;
    const BenchClock::time_point start = BenchClock::now();
    {
        const std::string find = "find '" + tree.root.toStdString() + "' > /dev/null";
        ok = std::system(find.c_str()) == 0;
        RawStatement addDir(db, "INSERT INTO Directories (Directory, Checked) VALUES (?, 1);");
        RawStatement addClip(db, "INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete) "
                                 "VALUES (?, ?, ?, 0);");
        for (const TreeFolder& folder : tree.folders)
            ok = ok && recordFolder(db, addDir, addClip, folder);
    }
    const double seconds = secondsSince(start);
    sqlite3_close(db);
    return ok ? seconds : -1;
}
