// Raw SQLite access to a clip database in the program's own schema: the file is created through
// the program's db layer (the tables and indexes of db/schema.cpp), then written with prepared
// statements of the SQLite C API. The floors of the benchmarks and their fast fills use it.
#pragma once

#include <QString>

#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// Creates (replacing) the clip database `file` through dbCWSOpen. False when it fails.
bool createClipDatabase(const QString& file);

// Opens `file` with the journal the program chooses on a local disk (WAL, synchronous NORMAL).
// Null when it fails; the caller closes it with sqlite3_close.
sqlite3* openRaw(const QString& file);

// Runs `sql` (no rows); false, with the error printed, when it fails.
bool execRaw(sqlite3* db, const char* sql);

// One prepared statement, bound and stepped again and again.
class RawStatement
{
public:
    RawStatement(sqlite3* db, const char* sql);
    ~RawStatement();
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;

    // Bind parameter `index` (from 1); the text is copied.
    RawStatement& text(int index, std::string_view value);
    RawStatement& integer(int index, long long value);
    // Steps through every row and resets; false, with the error printed, when it fails.
    bool run();
    // Steps once and gives column 0 of the row as an integer (0 without a row); no reset.
    long long firstInteger();

private:
    sqlite3* db_;             // its connection
    sqlite3_stmt* statement_; // null when the preparation failed
};
