// CSQLite3DataBase: one SQLite connection and a cache of its prepared statements. Every
// statement runs through execQuery, with its values bound to "?" placeholders, never pasted
// into the text. The connection is opened in serialized mode, so several threads may share
// one object; the busy time-out lets other connections' locks be waited for. One thread at a
// time may group its writes into a transaction; the other threads' statements wait for its
// commit, so none of their writes is ever held back uncommitted by it.
#pragma once

#include "db/sqlite/sqlite3exception.h"
#include "db/sqlite/sqlite3query.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <variant>
#include <vector>

// A value bound to one "?" of a statement: NULL, an integer or a text.
using CSQLite3Value = std::variant<std::monostate, long long, std::string>;

class CSQLite3DataBase
{
public:
    CSQLite3DataBase() = default;
    CSQLite3DataBase(const CSQLite3DataBase&) = delete;
    CSQLite3DataBase& operator=(const CSQLite3DataBase&) = delete;
    // Closes the connection when one is open.
    virtual ~CSQLite3DataBase();

    // Opens or creates the file at `path` and sets the busy time-out. Throws CSQLite3Exception
    // with SQLite's code and message on failure (the object then stays closed).
    void open(const char* path);
    bool isOpen() const { return database != nullptr; }
    // Finalizes the cached statements and closes the connection.
    void close();

    // Runs one statement of any kind with `values` bound to its placeholders in order and
    // returns a cursor on its first row (eof for statements without rows). Throws
    // CSQLite3Exception: CPPSQLITE_ERROR "Database not open", or SQLite's code and message.
    CSQLite3Query execQuery(std::string_view sql, const std::vector<CSQLite3Value>& values = {});

    // Opens a write transaction (BEGIN IMMEDIATE) owned by the calling thread, after the
    // statements that other threads are running have ended. Until commitTransaction, the
    // statements of other threads wait. Throws CSQLite3Exception when the database is not open
    // or the transaction cannot begin; nothing is then held.
    void beginTransaction();
    // Commits the calling thread's transaction and lets the other threads run again. Throws
    // CSQLite3Exception when the commit fails; the transaction is then rolled back.
    void commitTransaction();

    int busyTimeoutMs = 10000; // handed to SQLite after opening

private:
    friend class CSQLite3Query;
    sqlite3_stmt* acquireStatement(std::string_view sql);
    void bindValues(sqlite3_stmt* statement, const std::vector<CSQLite3Value>& values);
    // Runs a cached statement without values or rows. Throws CSQLite3Exception.
    void runCached(std::string_view sql);
    // Takes a statement back from a cursor: reset, bindings cleared, kept for reuse.
    void releaseStatement(sqlite3_stmt* statement) noexcept;

    sqlite3* database = nullptr;       // null while not open
    std::shared_mutex transactionLock; // shared per statement, exclusive for a transaction
    std::atomic<std::thread::id> transactionOwner{}; // thread holding it exclusively, if any
    // Idle prepared statements of one SQL text; the map's key views `text`.
    struct IdleStatements {
        std::unique_ptr<std::string> text;
        std::vector<sqlite3_stmt*> statements;
    };
    std::mutex cacheMutex;                                               // guards idleStatements
    std::unordered_map<std::string_view, IdleStatements> idleStatements; // by SQL text
};

// Steps `statement` once under the connection's mutex: true for a row, false when done.
// Throws CSQLite3Exception with the step's code and the connection's message otherwise.
bool sqlite3StepOrThrow(sqlite3* database, sqlite3_stmt* statement);
