// dbCwsHandle and the opening and closing of an instance's database: an SQLite file shared by
// the instance's threads, or a MySQL connection of which every thread gets its own clone.
#pragma once

#include "db/elements.h"
#include "db/sqlite/sqlite3database.h"

#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

// One instance's connection to its database. Made by dbCWSOpen, destroyed by dbCWSClose;
// the operations of every thread of the instance take it.
class dbCwsHandle
{
public:
    virtual ~dbCwsHandle() = default;

    std::unique_ptr<CSQLite3DataBase> sqlite;  // kind 1 only
    QSqlDatabase connection;                   // kind 2 only: the registered connection
    uint32_t kind = 0;                         // CWS_DB_SQLITE, CWS_DB_MYSQL, others inert
    QString databaseName;                      // SQLite file path or MySQL database name
    QString connectionName;                    // Qt name of the registered MySQL connection
    std::atomic<unsigned> lostStatements{0};   // MySQL statements lost with the server
    std::string claimHost;                     // this host's name in a shared MySQL catalogue
    int claimSeconds = 0;                      // how long its claims hold unless renewed
    std::atomic<long long> claimsRenewedMs{0}; // steady clock of the last renewal
    std::mutex staging; // held while a thread uses CwsStaged: SQLite's one connection shares it
    bool returnsIds = false; // INSERT ... RETURNING is understood (SQLite 3.35, MariaDB 10.5 on)
};

// How many statements have failed because the MySQL server could not be reached or a deadlock
// rolled back their transaction, and how many write batches failed to commit (0 for other kinds
// and for null). Callers compare two readings to learn whether writes between them may
// be missing; the connection itself reconnects at the next statement once the server is back.
unsigned dbCWSLostStatements(const dbCwsHandle* handle);

// Opens the database `name` (an SQLite file path or a MySQL database name) of the kind in the
// low byte of `kindWord`; with CWS_DB_CREATE set a new database is made first (an SQLite file
// is replaced). `user`, `password` and `host` serve MySQL; `port` is not used. Gives null for
// an empty name or a failed open; a handle of any other kind opens nothing. A MySQL database is
// given the ClipFiles table and the indexes of dbCwsMySQLIndexes that it lacks. The caller owns
// the handle and gives it back with dbCWSClose.
dbCwsHandle* dbCWSOpen(const QString& name, const QString& connectionName, uint32_t kindWord,
                       const QString& user, const QString& password, const QString& host,
                       int port = 0);

// Closes the connection and destroys the handle (null is allowed). Returns 0.
int dbCWSClose(dbCwsHandle* handle);

// The calling thread's own open clone of the MySQL connection registered as `connectionName`.
// A clone made for an earlier registration under that name is dropped and replaced, so a
// thread never reaches a database closed since. Gives an invalid database, after the debug
// line "Unable to open the new database connection.", when none can be opened.
QSqlDatabase dbCWSGetThreadDatabase(const QString& connectionName);

// Tests whether a database of `kind` can be reached and writes a text into `message` only
// when it has something to say: for MySQL the driver's error text when the server cannot be
// reached (nothing when it can). `port` 0 means the driver's default. Returns 0.
int testSqlConnect(uint32_t kind, std::string& message, const QString& user,
                   const QString& password, const QString& host, int port = 0);
