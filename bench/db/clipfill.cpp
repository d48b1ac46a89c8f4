// A clip database of many finished clips, made with raw inserts.
#include "bench/db/clipfill.h"

#include "bench/common/rawdb.h"

#include <sqlite3.h>

#include <string>

bool fillClipDatabase(const QString& file, int clips)
{
    if (!createClipDatabase(file))
        return false;
    sqlite3* db = openRaw(file);
    if (!db)
        return false;
    bool ok = execRaw(db, "BEGIN");
    {
        RawStatement clip(db,
                          "INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete, "
                          "PiconValue, PiconPath, ProxyValue, ProxyPath, MD5) "
                          "VALUES (?, ?, ?, 1, 1, ?, 1, ?, '0123456789abcdef0123456789abcdef')");
        RawStatement dir(db, "INSERT INTO Directories (Directory, Checked) VALUES (?, 1)");
        for (int i = 0; ok && i < clips; ++i) {
            const std::string source =
                "/scan/p" + std::to_string(i / 1000) + "/d" + std::to_string(i / 100) + "/";
            const std::string name = "clip" + std::to_string(i);
            if (i % 100 == 0)
                ok = dir.text(1, source).run();
            ok = ok && clip.text(1, name)
                           .text(2, source + name + ".mov")
                           .text(3, source)
                           .text(4, "/out/" + name + ".jpg")
                           .text(5, "/out/" + name + ".mp4")
                           .run();
        }
    }
    ok = execRaw(db, "COMMIT") && ok;
    sqlite3_close(db);
    return ok;
}
