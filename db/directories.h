// Directory records: adding, looking up, marking and handing out the directories of a scan.
// A directory is addressed by its exact path text.
#pragma once

#include "db/connection.h"

#include <chrono>
#include <functional>
#include <string>

// Records `path` with Checked 1 when `finished` is non-zero, else 6 (QZ_FOUND_FILE).
// Returns 0 when added (also when the insert failed; it is logged), -1 when the path is
// already recorded or there is no database.
int dbCWSAddDirectory(dbCwsHandle* handle, const std::string& path, int finished);

// Sets Checked to `to` in every row whose Checked is `from` (one statement). Returns 0 in every
// case (failures are logged).
int dbCWSMoveDirectoryChecks(dbCwsHandle* handle, int from, int to);

// The Checked code of `path` (NULL reads as 0); -1 when not recorded or the lookup failed;
// 0 without a database.
int dbCWSCheckDirectory(dbCwsHandle* handle, const std::string& path);

// Sets Checked of every row of `path` to `code`. Returns 0 in every case (failures are logged).
int dbCWSUpdateDirectoryCheck(dbCwsHandle* handle, const std::string& path, int code);

// The Checked code of `path` (NULL reads as 0); -1 when not recorded or the lookup failed;
// 0 without a database.
int dbCWSGetDirectoryState(dbCwsHandle* handle, const std::string& path);

// Empties `path`, then gives 0 and the path of one directory whose Checked is 0, or -1 when
// there is none. 0 with `path` empty means the MySQL query failed or there is no database;
// on SQLite a failed query gives -1.
int dbCWSGetNextDirectoryToCheck(dbCwsHandle* handle, std::string& path);

// The directories, at most `count`, that dbCWSGetNextDirectoryToCheck will likely give once
// `current` is checked (the next whose Checked is 0); none when the query failed.
std::vector<std::string> dbCWSPeekNextDirectories(dbCwsHandle* handle, const std::string& current,
                                                  int count);

// The print kept for recorded directory `path` (of its clips' names and stamps when its last
// whole search ended); empty when none is kept or the lookup failed. dbCWSSetFolderPrint keeps
// `print` in place of the one before; returns 0, or -1 when the statement failed.
std::string dbCWSGetFolderPrint(dbCwsHandle* handle, const std::string& path);
int dbCWSSetFolderPrint(dbCwsHandle* handle, const std::string& path, const std::string& print);

// Groups the records that the calling thread writes while it lives (one directory's, in the
// walk and the clip search) into transactions, each committed before the next begins and the
// last when the batch ends, so a write is durable once its batch has ended or renewed. On
// SQLite the instance's other threads wait meanwhile; their writes stay durable when they
// return. On MySQL the transaction is that of the thread's own connection, which others wait
// for only on the rows it holds; writes that the server did not take, because the connection
// was lost (which ends the transaction) or the commit failed, count as lost statements
// (dbCWSLostStatements) as they do without a batch. Does nothing without a database. Failures
// to begin are logged with `fcn`; the writes then commit one by one as without a batch.
class dbCwsWriteBatch
{
public:
    dbCwsWriteBatch(dbCwsHandle* handle, const char* fcn);
    ~dbCwsWriteBatch();
    dbCwsWriteBatch(const dbCwsWriteBatch&) = delete;
    dbCwsWriteBatch& operator=(const dbCwsWriteBatch&) = delete;

    // Commits and begins again when the transaction has been open for `longest`, so that the
    // other threads never wait long.
    void renewAfter(std::chrono::milliseconds longest);
    // Has `write` made just before the batch's first renewal, and not at all when the batch
    // ends in one transaction: a mark that others need to see only while the batch spans
    // several commits.
    void beforeRenewal(std::function<void()> write) { renewing = std::move(write); }

private:
    void begin();
    void commit();

    bool open() const { return sqlite || mysql.isValid(); }

    CSQLite3DataBase* sqlite = nullptr; // set while an SQLite transaction is open
    QSqlDatabase mysql;                 // the thread's clone while a MySQL transaction is open
    dbCwsHandle* handle;
    const char* fcn;
    std::chrono::steady_clock::time_point begun;
    std::function<void()> renewing; // made before the first renewal
};
