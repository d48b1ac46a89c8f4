// CSQLite3Exception: message formatting and the names of the SQLite result codes.
#include "db/sqlite/sqlite3exception.h"

#include <sqlite3.h>

namespace
{

// Primary result codes 0 to 28 in order, as the SQLite C interface names them.
const char* const primaryCodeNames[] = {
    "SQLITE_OK",       "SQLITE_ERROR",   "SQLITE_INTERNAL", "SQLITE_PERM",     "SQLITE_ABORT",
    "SQLITE_BUSY",     "SQLITE_LOCKED",  "SQLITE_NOMEM",    "SQLITE_READONLY", "SQLITE_INTERRUPT",
    "SQLITE_IOERR",    "SQLITE_CORRUPT", "SQLITE_NOTFOUND", "SQLITE_FULL",     "SQLITE_CANTOPEN",
    "SQLITE_PROTOCOL", "SQLITE_EMPTY",   "SQLITE_SCHEMA",   "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
    "SQLITE_MISMATCH", "SQLITE_MISUSE",  "SQLITE_NOLFS",    "SQLITE_AUTH",     "SQLITE_FORMAT",
    "SQLITE_RANGE",    "SQLITE_NOTADB",  "SQLITE_NOTICE",   "SQLITE_WARNING"};

} // namespace

CSQLite3Exception::CSQLite3Exception(int code, const char* detail)
    : code(code),
      message(sqlite3_mprintf("%s[%d]: %s", errorCodeAsString(code), code, detail ? detail : ""))
{
}

CSQLite3Exception::CSQLite3Exception(const CSQLite3Exception& other)
    : code(other.code), message(sqlite3_mprintf("%s", other.errorMessage()))
{
}

CSQLite3Exception& CSQLite3Exception::operator=(const CSQLite3Exception& other)
{
    if (this != &other) {
        char* copy = sqlite3_mprintf("%s", other.errorMessage());
        sqlite3_free(message);
        message = copy;
        code = other.code;
    }
    return *this;
}

CSQLite3Exception::~CSQLite3Exception()
{
    sqlite3_free(message);
}

const char* CSQLite3Exception::errorCodeAsString(int code)
{
    constexpr int primaryCount = sizeof primaryCodeNames / sizeof primaryCodeNames[0];
    if (code >= 0 && code < primaryCount)
        return primaryCodeNames[code];
    switch (code) {
    case SQLITE_ROW:
        return "SQLITE_ROW";
    case SQLITE_DONE:
        return "SQLITE_DONE";
    case CPPSQLITE_ERROR:
        return "CPPSQLITE_ERROR";
    default:
        return "UNKNOWN_ERROR";
    }
}
