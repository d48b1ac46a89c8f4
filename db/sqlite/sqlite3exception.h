// CSQLite3Exception: the one failure type of the SQLite access layer, carrying an SQLite result
// code (or CPPSQLITE_ERROR for the layer's own errors) and a ready-made message.
#pragma once

// Code of the errors that the access layer itself detects.
constexpr int CPPSQLITE_ERROR = 1000;

class CSQLite3Exception
{
public:
    // Formats "<code name>[<code>]: <detail>"; a null detail counts as empty.
    CSQLite3Exception(int code, const char* detail);
    CSQLite3Exception(const CSQLite3Exception& other);
    CSQLite3Exception& operator=(const CSQLite3Exception& other);
    virtual ~CSQLite3Exception();

    int errorCode() const { return code; }
    const char* errorMessage() const { return message ? message : ""; }

    // The name of an SQLite primary result code ("SQLITE_BUSY"), "CPPSQLITE_ERROR" for 1000,
    // "UNKNOWN_ERROR" for anything else.
    static const char* errorCodeAsString(int code);

private:
    int code;      // SQLite result code or CPPSQLITE_ERROR
    char* message; // allocated with sqlite3_mprintf, freed with sqlite3_free
};
