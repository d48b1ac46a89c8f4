// Adds clips to an SQLite database, printing each anchor once recorded, for the crash test.
// Usage: db_addclip_helper <database file> <count>
#include "db/dbcws.h"
#include "platform/qzlog.h"

#include <QCoreApplication>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    ErrLogSetFileName("addclip_helper");
    dbCwsHandle* handle = dbCWSOpen(argv[1], "helper", CWS_DB_SQLITE, "", "", "");
    if (!handle)
        return 1;
    const int count = std::stoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        const std::string anchor = "/scan/clip" + std::to_string(i) + ".mxf";
        dbCWSAddClip(handle, "clip.mxf", anchor, "/scan");
        std::printf("%s\n", anchor.c_str());
        std::fflush(stdout);
    }
    dbCWSClose(handle);
    return 0;
}
