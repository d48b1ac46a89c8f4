// CSQLite3DataBase: opening, the statement cache and running one statement.
#include "db/sqlite/sqlite3database.h"

bool sqlite3StepOrThrow(sqlite3* database, sqlite3_stmt* statement)
{
    // Hold the connection's mutex so that the message read belongs to this step.
    sqlite3_mutex* mutex = sqlite3_db_mutex(database);
    sqlite3_mutex_enter(mutex);
    const int result = sqlite3_step(statement);
    if (result == SQLITE_ROW || result == SQLITE_DONE) {
        sqlite3_mutex_leave(mutex);
        return result == SQLITE_ROW;
    }
    CSQLite3Exception failure(result, sqlite3_errmsg(database));
    sqlite3_mutex_leave(mutex);
    throw failure;
}

CSQLite3DataBase::~CSQLite3DataBase()
{
    close();
}

void CSQLite3DataBase::open(const char* path)
{
    close();
    sqlite3* opened = nullptr;
    const int result = sqlite3_open_v2(
        path ? path : "", &opened,
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (result != SQLITE_OK) {
        CSQLite3Exception failure(result, opened ? sqlite3_errmsg(opened) : "");
        sqlite3_close(opened);
        throw failure;
    }
    database = opened;
    sqlite3_busy_timeout(database, busyTimeoutMs);
}

void CSQLite3DataBase::close()
{
    if (!database)
        return;
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        for (auto& entry : idleStatements)
            for (sqlite3_stmt* statement : entry.second)
                sqlite3_finalize(statement);
        idleStatements.clear();
    }
    sqlite3_close_v2(database);
    database = nullptr;
}

sqlite3_stmt* CSQLite3DataBase::acquireStatement(const std::string& sql)
{
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        auto found = idleStatements.find(sql);
        if (found != idleStatements.end() && !found->second.empty()) {
            sqlite3_stmt* statement = found->second.back();
            found->second.pop_back();
            return statement;
        }
    }
    sqlite3_stmt* statement = nullptr;
    const int result = sqlite3_prepare_v2(database, sql.c_str(), -1, &statement, nullptr);
    if (result != SQLITE_OK)
        throw CSQLite3Exception(result, "");
    return statement;
}

void CSQLite3DataBase::releaseStatement(sqlite3_stmt* statement) noexcept
{
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    std::lock_guard<std::mutex> lock(cacheMutex);
    idleStatements[sqlite3_sql(statement)].push_back(statement);
}

void CSQLite3DataBase::bindValues(sqlite3_stmt* statement, const std::vector<CSQLite3Value>& values)
{
    for (size_t i = 0; i < values.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        const CSQLite3Value& value = values[i];
        int result = SQLITE_OK;
        if (const auto* number = std::get_if<long long>(&value))
            result = sqlite3_bind_int64(statement, position, *number);
        else if (const auto* text = std::get_if<std::string>(&value))
            result = sqlite3_bind_text64(statement, position, text->data(), text->size(),
                                         SQLITE_TRANSIENT, SQLITE_UTF8);
        else
            result = sqlite3_bind_null(statement, position);
        if (result != SQLITE_OK)
            throw CSQLite3Exception(result, sqlite3_errmsg(database));
    }
}

CSQLite3Query CSQLite3DataBase::execQuery(const std::string& sql,
                                          const std::vector<CSQLite3Value>& values)
{
    if (!database)
        throw CSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
    // The cursor owns the statement from here on, so every exit gives it back.
    sqlite3_stmt* statement = acquireStatement(sql);
    if (!statement)
        return CSQLite3Query(); // a text without any statement
    CSQLite3Query cursor(this, database, statement, true);
    bindValues(cursor.statement, values);
    cursor.atEnd = !sqlite3StepOrThrow(database, cursor.statement);
    return cursor;
}
