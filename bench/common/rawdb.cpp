// Raw SQLite access to a clip database in the program's own schema.
#include "bench/common/rawdb.h"

#include "db/dbcws.h"

#include <sqlite3.h>

#include <cstdio>

bool createClipDatabase(const QString& file)
{
    dbCwsHandle* handle = dbCWSOpen(file, "benchCreate", CWS_DB_SQLITE | CWS_DB_CREATE, "", "", "");
    dbCWSClose(handle);
    return handle != nullptr;
}

sqlite3* openRaw(const QString& file)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) != SQLITE_OK) {
        std::printf("  cannot open %s: %s\n", file.toUtf8().constData(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 10000);
    if (!execRaw(db, "PRAGMA journal_mode=WAL;") || !execRaw(db, "PRAGMA synchronous=NORMAL;")) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

bool execRaw(sqlite3* db, const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::printf("  SQL failed: %s: %s\n", sql, error ? error : "?");
    sqlite3_free(error);
    return false;
}

RawStatement::RawStatement(sqlite3* db, const char* sql) : db_(db), statement_(nullptr)
{
    if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
        std::printf("  cannot prepare %s: %s\n", sql, sqlite3_errmsg(db));
}

RawStatement::~RawStatement()
{
    sqlite3_finalize(statement_);
}

RawStatement& RawStatement::text(int index, std::string_view value)
{
    sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

RawStatement& RawStatement::integer(int index, long long value)
{
    sqlite3_bind_int64(statement_, index, value);
    return *this;
}

bool RawStatement::run()
{
    if (!statement_)
        return false;
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(statement_);
    sqlite3_reset(statement_);
    if (rc == SQLITE_DONE)
        return true;
    std::printf("  SQL failed: %s\n", sqlite3_errmsg(db_));
    return false;
}

long long RawStatement::firstInteger()
{
    if (!statement_ || sqlite3_step(statement_) != SQLITE_ROW)
        return 0;
    const long long value = sqlite3_column_int64(statement_, 0);
    sqlite3_reset(statement_);
    return value;
}
