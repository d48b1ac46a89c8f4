// CSQLite3DataBase: one SQLite connection and a cache of its prepared statements. Every
// statement runs through execQuery, with its values bound to "?" placeholders, never pasted
// into the text. The connection is opened in serialized mode, so several threads may share
// one object; the busy time-out lets other connections' locks be waited for.
#pragma once

#include "db/sqlite/sqlite3exception.h"
#include "db/sqlite/sqlite3query.h"

#include <mutex>
#include <sqlite3.h>
#include <string>
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
    CSQLite3Query execQuery(const std::string& sql, const std::vector<CSQLite3Value>& values = {});

    int busyTimeoutMs = 10000; // handed to SQLite after opening

private:
    friend class CSQLite3Query;
    sqlite3_stmt* acquireStatement(const std::string& sql);
    void bindValues(sqlite3_stmt* statement, const std::vector<CSQLite3Value>& values);
    // Takes a statement back from a cursor: reset, bindings cleared, kept for reuse.
    void releaseStatement(sqlite3_stmt* statement) noexcept;

    sqlite3* database = nullptr; // null while not open
    std::mutex cacheMutex;       // guards idleStatements
    std::unordered_map<std::string, std::vector<sqlite3_stmt*>> idleStatements; // by SQL text
};

// Steps `statement` once under the connection's mutex: true for a row, false when done.
// Throws CSQLite3Exception with the step's code and the connection's message otherwise.
bool sqlite3StepOrThrow(sqlite3* database, sqlite3_stmt* statement);
