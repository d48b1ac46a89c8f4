// CSQLite3Query: a forward-only cursor on the rows of one statement run by
// CSQLite3DataBase::execQuery. A cursor is moved, never copied; it gives its statement back
// to the database's statement cache when it is destroyed, reassigned or finalized. A cursor
// must not outlive the database object that made it. One thread uses one cursor at a time.
#pragma once

#include <sqlite3.h>

#include <vector>

class CSQLite3DataBase;

class CSQLite3Query
{
public:
    // An empty cursor: no statement, eof true.
    CSQLite3Query();
    // A cursor on `statement`, already stepped once; `pool` takes the statement back.
    CSQLite3Query(CSQLite3DataBase* pool, sqlite3* database, sqlite3_stmt* statement, bool eof);
    CSQLite3Query(CSQLite3Query&& other) noexcept;
    // Releases this cursor's own statement (failures swallowed), then takes over `other`'s.
    CSQLite3Query& operator=(CSQLite3Query&& other) noexcept;
    CSQLite3Query(const CSQLite3Query&) = delete;
    CSQLite3Query& operator=(const CSQLite3Query&) = delete;
    virtual ~CSQLite3Query();

    // True when there is no current row.
    bool eof() const { return atEnd; }
    // Steps to the next row; past the last one eof() turns true. Throws CSQLite3Exception.
    void nextRow();
    // Number of the result column named exactly `name`; throws when there is none.
    int fieldIndex(const char* name) const;
    // The named column of the current row as text; null for SQL NULL or when there is no row.
    const char* fieldValue(const char* name) const;
    // Column `index` of the current row as text; null for SQL NULL or when there is no row.
    const char* fieldValue(int index) const;
    // SQLite's type code (SQLITE_INTEGER ... SQLITE_NULL) of column `index` of the current row.
    int fieldDataType(int index) const;
    // The named column as an integer, or `nullValue` when it is NULL or there is no row.
    int getIntField(const char* name, int nullValue = 0) const;
    // Number of result columns.
    int numFields() const { return columnCount; }
    // Gives the statement back now. Throws only when finalizing an uncached statement fails.
    void finalize();

private:
    friend class CSQLite3DataBase;
    void checkStatement() const;
    void release() noexcept;

    CSQLite3DataBase* pool;  // the database whose statement cache takes the statement back
    sqlite3* database;       // connection of the statement, for error messages
    sqlite3_stmt* statement; // null when the cursor holds nothing
    bool atEnd;              // no current row
    int columnCount;         // number of result columns
    bool ownsStatement;      // this cursor must give the statement back
    // Column names, read at the first look-up by name; SQLite keeps them until the statement is
    // finalized or prepared again, which a stepped statement is not while this cursor holds it.
    mutable std::vector<const char*> names;
};
