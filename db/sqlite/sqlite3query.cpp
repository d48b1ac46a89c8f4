// CSQLite3Query: cursor movement, column access and the release of its statement.
#include "db/sqlite/sqlite3query.h"

#include "db/sqlite/sqlite3database.h"

#include <cstring>
#include <utility>

CSQLite3Query::CSQLite3Query()
    : pool(nullptr), database(nullptr), statement(nullptr), atEnd(true), columnCount(0),
      ownsStatement(false)
{
}

CSQLite3Query::CSQLite3Query(CSQLite3DataBase* pool, sqlite3* database, sqlite3_stmt* statement,
                             bool eof)
    : pool(pool), database(database), statement(statement), atEnd(eof),
      columnCount(sqlite3_column_count(statement)), ownsStatement(true)
{
}

CSQLite3Query::CSQLite3Query(CSQLite3Query&& other) noexcept : CSQLite3Query()
{
    *this = std::move(other);
}

CSQLite3Query& CSQLite3Query::operator=(CSQLite3Query&& other) noexcept
{
    if (this == &other)
        return *this;
    release();
    pool = other.pool;
    database = other.database;
    statement = std::exchange(other.statement, nullptr);
    atEnd = std::exchange(other.atEnd, true);
    columnCount = std::exchange(other.columnCount, 0);
    ownsStatement = std::exchange(other.ownsStatement, false);
    names = std::move(other.names);
    other.names.clear();
    return *this;
}

CSQLite3Query::~CSQLite3Query()
{
    release();
}

void CSQLite3Query::release() noexcept
{
    if (statement && ownsStatement) {
        if (pool)
            pool->releaseStatement(statement);
        else
            sqlite3_finalize(statement);
    }
    statement = nullptr;
    ownsStatement = false;
    names.clear();
}

void CSQLite3Query::checkStatement() const
{
    if (!statement)
        throw CSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
}

void CSQLite3Query::nextRow()
{
    checkStatement();
    try {
        atEnd = !sqlite3StepOrThrow(database, statement);
    } catch (const CSQLite3Exception&) {
        release();
        atEnd = true;
        throw;
    }
}

int CSQLite3Query::fieldIndex(const char* name) const
{
    checkStatement();
    if (names.empty())
        for (int index = 0; index < columnCount; ++index)
            names.push_back(sqlite3_column_name(statement, index));
    for (size_t index = 0; name && index < names.size(); ++index)
        if (names[index] && strcmp(names[index], name) == 0)
            return static_cast<int>(index);
    throw CSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
}

const char* CSQLite3Query::fieldValue(const char* name) const
{
    return fieldValue(fieldIndex(name));
}

const char* CSQLite3Query::fieldValue(int index) const
{
    if (fieldDataType(index) == SQLITE_NULL)
        return nullptr;
    return reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
}

int CSQLite3Query::fieldDataType(int index) const
{
    checkStatement();
    if (index < 0 || index >= columnCount)
        throw CSQLite3Exception(CPPSQLITE_ERROR, "Invalid field index requested");
    return atEnd ? SQLITE_NULL : sqlite3_column_type(statement, index);
}

int CSQLite3Query::getIntField(const char* name, int nullValue) const
{
    const int index = fieldIndex(name);
    if (fieldDataType(index) == SQLITE_NULL)
        return nullValue;
    return sqlite3_column_int(statement, index);
}

void CSQLite3Query::finalize()
{
    if (!statement || !ownsStatement)
        return;
    if (pool) {
        release();
        return;
    }
    const int result = sqlite3_finalize(std::exchange(statement, nullptr));
    ownsStatement = false;
    if (result != SQLITE_OK)
        throw CSQLite3Exception(result, sqlite3_errmsg(database));
}
