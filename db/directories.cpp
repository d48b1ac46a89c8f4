// Directory records on SQLite and MySQL.
#include "db/directories.h"

#include "db/claims.h"

#include "db/statement_p.h"
#include "platform/qzlog.h"

#include <QSqlError>
#include <QtDebug>
#include <utility>

int dbCWSAddDirectory(dbCwsHandle* handle, const std::string& path, int finished)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return -1;
    ErrOut("\nAddDir(%s) ", path.c_str());
    const int code = finished ? QZ_FINISHED : QZ_FOUND_FILE;
    const dbCwsRows found =
        dbCwsRun(handle, "dbCWSAddDirectory", "SELECT * FROM Directories WHERE Directory=?;",
                 {path}, nullptr, " dir: " + path);
    if (!found.text("Directory").value_or(std::string()).empty())
        return -1;
    dbCwsRun(handle, "dbCWSAddDirectory",
             "INSERT INTO Directories (Directory, Checked) VALUES (?, ?);",
             {path, static_cast<long long>(code)});
    return 0;
}

namespace
{

// Checked of the first row of `path`: NULL as 0, -1 when there is none or the lookup failed.
int checkedOf(dbCwsHandle* handle, const char* fcn, const std::string& path)
{
    const dbCwsRows rows =
        dbCwsRun(handle, fcn, "SELECT * FROM Directories WHERE Directory=? LIMIT 1;", {path});
    if (!rows.atRow())
        return -1;
    return rows.integer("Checked", 0);
}

} // namespace

int dbCWSCheckDirectory(dbCwsHandle* handle, const std::string& path)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return 0;
    ErrOut("\nCheckDir(%s) ", path.c_str());
    return checkedOf(handle, "dbCWSCheckDirectory", path);
}

int dbCWSUpdateDirectoryCheck(dbCwsHandle* handle, const std::string& path, int code)
{
    dbCwsRun(handle, "dbCWSUpdateDirectoryCheck",
             "UPDATE Directories SET Checked=? WHERE Directory=?",
             {static_cast<long long>(code), path});
    // On a shared catalogue a directory searched, or to be searched again, is no host's.
    if (code == 0 || code == 1)
        dbCWSReleaseDirectory(handle, path);
    return 0;
}

int dbCWSMoveDirectoryChecks(dbCwsHandle* handle, int from, int to)
{
    dbCwsRun(handle, "dbCWSMoveDirectoryChecks", "UPDATE Directories SET Checked=? WHERE Checked=?",
             {static_cast<long long>(to), static_cast<long long>(from)});
    return 0;
}

int dbCWSGetDirectoryState(dbCwsHandle* handle, const std::string& path)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return 0;
    return checkedOf(handle, "dbCWSGetDirectoryState", path);
}

int dbCWSGetNextDirectoryToCheck(dbCwsHandle* handle, std::string& path)
{
    path.clear();
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return 0;
    const dbCwsRows rows = dbCwsRun(handle, "dbCWSGetNextDirectoryToCheck",
                                    "SELECT * FROM Directories WHERE Checked=0 LIMIT 1;");
    if (!rows.ok())
        return dbCwsIsSQLite(handle) ? -1 : 0;
    path = rows.text("Directory").value_or(std::string());
    return path.empty() ? -1 : 0;
}

std::vector<std::string> dbCWSPeekNextDirectories(dbCwsHandle* handle, const std::string& current,
                                                  int count)
{
    std::vector<std::string> next;
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return next;
    for (dbCwsRows rows =
             dbCwsRun(handle, "dbCWSPeekNextDirectories",
                      "SELECT Directory FROM Directories WHERE Checked=0 AND Directory<>? LIMIT ?;",
                      {current, static_cast<long long>(count)});
         rows.atRow(); rows.next())
        next.push_back(rows.text("Directory").value_or(std::string()));
    return next;
}

std::string dbCWSGetFolderPrint(dbCwsHandle* handle, const std::string& path)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return std::string();
    const dbCwsRows rows = dbCwsRun(handle, "dbCWSGetFolderPrint",
                                    "SELECT FolderPrints.Print AS Print FROM Directories JOIN "
                                    "FolderPrints ON FolderPrints.DirectoryID=Directories.ID "
                                    "WHERE Directories.Directory=? LIMIT 1;",
                                    {path});
    return rows.ok() ? rows.text("Print").value_or(std::string()) : std::string();
}

int dbCWSSetFolderPrint(dbCwsHandle* handle, const std::string& path, const std::string& print)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return -1;
    return dbCwsRun(handle, "dbCWSSetFolderPrint",
                    "REPLACE INTO FolderPrints (DirectoryID, Print) SELECT ID, ? FROM "
                    "Directories WHERE Directory=?;",
                    {print, path})
                   .ok()
               ? 0
               : -1;
}

dbCwsWriteBatch::dbCwsWriteBatch(dbCwsHandle* handle, const char* fcn) : handle(handle), fcn(fcn)
{
    begin();
}

dbCwsWriteBatch::~dbCwsWriteBatch()
{
    commit();
}

void dbCwsWriteBatch::renewAfter(std::chrono::milliseconds longest)
{
    if (!open() || std::chrono::steady_clock::now() - begun < longest)
        return;
    if (renewing)
        std::exchange(renewing, nullptr)();
    commit();
    begin();
}

void dbCwsWriteBatch::begin()
{
    begun = std::chrono::steady_clock::now();
    if (dbCwsIsMySQL(handle)) {
        QSqlDatabase clone = dbCWSGetThreadDatabase(handle->connectionName);
        if (clone.transaction())
            mysql = clone;
        else
            qDebug("%s %s", fcn, clone.lastError().text().toUtf8().constData());
        return;
    }
    if (!dbCwsIsSQLite(handle))
        return;
    try {
        handle->sqlite->beginTransaction();
        sqlite = handle->sqlite.get();
    } catch (const CSQLite3Exception& failure) {
        qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(), fcn);
    }
}

void dbCwsWriteBatch::commit()
{
    if (mysql.isValid()) {
        QSqlDatabase clone = std::exchange(mysql, QSqlDatabase());
        if (!clone.commit()) {
            qDebug("%s %s", fcn, clone.lastError().text().toUtf8().constData());
            ++handle->lostStatements;
        }
        return;
    }
    if (!sqlite)
        return;
    try {
        std::exchange(sqlite, nullptr)->commitTransaction();
    } catch (const CSQLite3Exception& failure) {
        qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(), fcn);
    }
}
