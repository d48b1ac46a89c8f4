// The ClipFiles table: each clip's file size and modification time.
#include "db/clipfiles.h"

#include "db/elements.h"
#include "db/statement_p.h"

std::vector<std::string> dbCwsAddedTables(bool mysql)
{
    if (mysql)
        return {"CREATE TABLE IF NOT EXISTS ClipFiles (ClipID INT NOT NULL, Size BIGINT, MTime "
                "BIGINT, PRIMARY KEY (ClipID));",
                "CREATE TABLE IF NOT EXISTS ElementFailures (ClipID INT NOT NULL, Element INT NOT "
                "NULL, Time BIGINT, PRIMARY KEY (ClipID, Element));",
                "CREATE TABLE IF NOT EXISTS Claims (Kind CHAR(1) NOT NULL, Item INT NOT NULL, Host "
                "VARCHAR(255) NOT NULL, Until BIGINT NOT NULL, PRIMARY KEY (Kind, Item), KEY "
                "ClaimsByHost (Host));",
                "CREATE TABLE IF NOT EXISTS FolderPrints (DirectoryID INT NOT NULL, Print "
                "VARCHAR(64) NOT NULL, PRIMARY KEY (DirectoryID));"};
    return {"CREATE TABLE IF NOT EXISTS ClipFiles (ClipID INTEGER PRIMARY KEY, Size INTEGER, "
            "MTime INTEGER);",
            "CREATE TABLE IF NOT EXISTS ElementFailures (ClipID INTEGER NOT NULL, Element INTEGER "
            "NOT NULL, Time INTEGER, PRIMARY KEY (ClipID, Element));",
            "CREATE TABLE IF NOT EXISTS FolderPrints (DirectoryID INTEGER PRIMARY KEY, Print TEXT "
            "NOT NULL);"};
}

int dbCWSStampClip(dbCwsHandle* handle, int id, const dbCwsFileStamp& stamp)
{
    const dbCwsRows rows = dbCwsRun(
        handle, "dbCWSStampClip", "REPLACE INTO ClipFiles (ClipID, Size, MTime) VALUES (?, ?, ?);",
        {static_cast<long long>(id), stamp.size, stamp.modified});
    return rows.ok() ? 0 : -1;
}

int dbCWSRenewClip(dbCwsHandle* handle, int id, const dbCwsFileStamp& stamp)
{
    std::string sql = "UPDATE Clips SET Complete=0, MD5=NULL";
    for (const dbCwsElement& e : dbCwsElements())
        if (e.kind == dbCwsElementKind::Output || e.kind == dbCwsElementKind::Numbered)
            sql += ", " + e.stateColumn + "=NULL, " + e.errorColumn + "=NULL";
    const bool reset =
        dbCwsRun(handle, "dbCWSRenewClip", sql + " WHERE ID=?;", {static_cast<long long>(id)}).ok();
    return dbCWSStampClip(handle, id, stamp) == 0 && reset ? 0 : -1;
}
