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

// Statement that makes the MySQL database `name`.
std::string dbCwsCreateDatabaseStatement(const std::string& name);
