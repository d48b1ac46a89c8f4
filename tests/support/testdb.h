// The two kinds of clip database in tests: an SQLite file, or a database of the private MariaDB
// server (scripts/mariadb.sh) named after the test process.
#pragma once

#include "db/connection.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>

enum class Backend { SQLite, MySQL };

// Test server account, as scripts/mariadb.sh creates it.
namespace testdb
{
inline QString user()
{
    return qEnvironmentVariable("CLIPWATCH_MARIADB_USER", "clipwatch");
}
inline QString password()
{
    return qEnvironmentVariable("CLIPWATCH_MARIADB_PASSWORD", "clipwatch");
}
inline QString host()
{
    return "127.0.0.1";
}
// A database name of this test process.
QString mysqlName();
// Drops the MySQL database `name` when it exists; kept for a look after a failed test.
void dropMySQL(const QString& name);
} // namespace testdb

// In SetUp: skips (CLIPWATCH_NO_MARIADB=1) or fails the test when the server is not reachable.
#define CLIPWATCH_REQUIRE_MARIADB()                                                                \
    do {                                                                                           \
        std::string problem;                                                                       \
        testSqlConnect(CWS_DB_MYSQL, problem, testdb::user(), testdb::password(), testdb::host()); \
        if (!problem.empty() && qEnvironmentVariable("CLIPWATCH_NO_MARIADB") == "1")               \
            GTEST_SKIP() << "MariaDB not reachable: " << problem;                                  \
        if (!problem.empty())                                                                      \
            FAIL() << "MariaDB not reachable (scripts/mariadb.sh start): " << problem;             \
    } while (0)

// Gives the test suite's instances readable names ("SQLite", "MySQL").
std::string backendName(const ::testing::TestParamInfo<Backend>& info);

#define CLIPWATCH_BOTH_BACKENDS(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(Backends, suite, ::testing::Values(Backend::SQLite, Backend::MySQL),  \
                             backendName)
