// The schema of a clip database: the creation statements of both kinds and the Version row.
#pragma once

#include <string>
#include <vector>

// One creation step: an optional log line written before it, its statement, and on MySQL the
// tag of the debug line that reports its failure.
struct dbCwsSchemaStep {
    const char* logLine;    // written with ErrOut before the statement, or null
    std::string statement;  // run as given
    const char* failureTag; // MySQL only
};

// Version row written at creation.
constexpr const char* CWS_DB_VERSION = "1";
constexpr const char* CWS_DB_BUILD = "851";

// SQLite creation steps in order; the Version row insert has two "?" for version and build.
const std::vector<dbCwsSchemaStep>& dbCwsSQLiteSchema();

// MySQL creation steps in order; the Version row insert has ":Version" and ":Build".
const std::vector<dbCwsSchemaStep>& dbCwsMySQLSchema();

// An index that every MySQL database is given at open when it lacks one of that name (databases
// made by older versions have only Checked_Index). Text columns are indexed on a prefix, which
// still serves lookups with "=".
struct dbCwsMySQLIndex {
    const char* table;   // table it indexes
    const char* name;    // index name, unique within the table
    const char* columns; // column list as CREATE INDEX takes it
};

// The indexes of the lookups and state queries that run per clip and per directory.
const std::vector<dbCwsMySQLIndex>& dbCwsMySQLIndexes();

// Statement that makes the MySQL database `name`.
std::string dbCwsCreateDatabaseStatement(const std::string& name);
