// CSQLite3DataBase: opening, the statement cache and running one statement.
#include "db/sqlite/sqlite3database.h"

#include <memory>

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
    // Another thread's transaction is committed before the connection goes.
    std::unique_lock<std::shared_mutex> closing(transactionLock, std::defer_lock);
    if (transactionOwner.load() != std::this_thread::get_id())
        closing.lock();
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        for (auto& entry : idleStatements)
            for (sqlite3_stmt* statement : entry.second.statements)
                sqlite3_finalize(statement);
        idleStatements.clear();
    }
    sqlite3_close_v2(database);
    database = nullptr;
}

sqlite3_stmt* CSQLite3DataBase::acquireStatement(std::string_view sql)
{
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        auto found = idleStatements.find(sql);
        if (found != idleStatements.end() && !found->second.statements.empty()) {
            sqlite3_stmt* statement = found->second.statements.back();
            found->second.statements.pop_back();
            return statement;
        }
    }
    sqlite3_stmt* statement = nullptr;
    const int result =
        sqlite3_prepare_v2(database, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
    if (result != SQLITE_OK)
        throw CSQLite3Exception(result, "");
    return statement;
}

void CSQLite3DataBase::releaseStatement(sqlite3_stmt* statement) noexcept
{
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    const std::string_view sql = sqlite3_sql(statement);
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto found = idleStatements.find(sql);
    if (found == idleStatements.end()) {
        auto text = std::make_unique<std::string>(sql);
        const std::string_view key = *text;
        found = idleStatements.emplace(key, IdleStatements{std::move(text), {}}).first;
    }
    found->second.statements.push_back(statement);
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

CSQLite3Query CSQLite3DataBase::execQuery(std::string_view sql,
                                          const std::vector<CSQLite3Value>& values)
{
    if (!database)
        throw CSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
    // Outside the owner of a transaction, a statement waits for its commit; its first step,
    // which makes every change of a write, then runs in autocommit mode.
    std::shared_lock<std::shared_mutex> running(transactionLock, std::defer_lock);
    if (transactionOwner.load() != std::this_thread::get_id())
        running.lock();
    // The cursor owns the statement from here on, so every exit gives it back.
    sqlite3_stmt* statement = acquireStatement(sql);
    if (!statement)
        return CSQLite3Query(); // a text without any statement
    CSQLite3Query cursor(this, database, statement, true);
    bindValues(cursor.statement, values);
    cursor.atEnd = !sqlite3StepOrThrow(database, cursor.statement);
    return cursor;
}

void CSQLite3DataBase::beginTransaction()
{
    if (!database)
        throw CSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
    transactionLock.lock();
    try {
        runCached("BEGIN IMMEDIATE;");
    } catch (...) {
        transactionLock.unlock();
        throw;
    }
    transactionOwner = std::this_thread::get_id();
}

void CSQLite3DataBase::commitTransaction()
{
    if (transactionOwner.load() != std::this_thread::get_id())
        throw CSQLite3Exception(CPPSQLITE_ERROR, "No transaction of this thread");
    // An error that rolled the transaction back already leaves nothing to commit.
    std::unique_ptr<CSQLite3Exception> failure;
    if (database && !sqlite3_get_autocommit(database)) {
        try {
            runCached("COMMIT;");
        } catch (const CSQLite3Exception& error) {
            failure = std::make_unique<CSQLite3Exception>(error);
            try {
                runCached("ROLLBACK;");
            } catch (const CSQLite3Exception&) {
                // Nothing more can be done; the failure of the commit is reported.
            }
        }
    }
    transactionOwner = std::thread::id();
    transactionLock.unlock();
    if (failure)
        throw *failure;
}

void CSQLite3DataBase::runCached(std::string_view sql)
{
    CSQLite3Query cursor(this, database, acquireStatement(sql), true);
    sqlite3StepOrThrow(database, cursor.statement);
}
