// Test fixture that runs one test body on a fresh SQLite file and on a fresh database of the
// private MariaDB server (scripts/mariadb.sh), plus raw SQL helpers to arrange and inspect rows.
#pragma once

#include "db/dbcws.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

enum class Backend { SQLite, MySQL };

// Test server account, as scripts/mariadb.sh creates it.
namespace testdb
{
QString user();
QString password();
QString host();
// A database name of this test process.
QString mysqlName();
// Empty when the server can be reached, else the driver's text.
std::string mysqlProblem();
// True when an unreachable server skips the MySQL tests instead of failing them.
bool mysqlOptional();
// Drops the MySQL database `name` when it exists.
void dropMySQL(const QString& name);
} // namespace testdb

// In SetUp: skips (CLIPWATCH_NO_MARIADB=1) or fails the test when the server is not reachable.
#define CLIPWATCH_REQUIRE_MARIADB()                                                                \
    do {                                                                                           \
        const std::string problem = testdb::mysqlProblem();                                        \
        if (!problem.empty() && testdb::mysqlOptional())                                           \
            GTEST_SKIP() << "MariaDB not reachable: " << problem;                                  \
        if (!problem.empty())                                                                      \
            FAIL() << "MariaDB not reachable (scripts/mariadb.sh start): " << problem;             \
    } while (0)

class DbTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override;
    void TearDown() override;

    bool isMySQL() const { return GetParam() == Backend::MySQL; }
    // Opens (creating when `create`) the backend's database under `connectionName`.
    dbCwsHandle* open(bool create, const QString& connectionName = "scanner0");
    // Runs raw SQL on the handle's database; true on success.
    bool exec(const std::string& sql);
    // First column of the first row of `sql`; nothing for NULL or no row.
    std::optional<std::string> value(const std::string& sql);
    // value() as an integer, -1 for NULL or no row.
    int number(const std::string& sql);

    dbCwsHandle* handle = nullptr;
    QString name; // SQLite file path or MySQL database name
};

// Gives the test suite's instances readable names ("SQLite", "MySQL").
std::string backendName(const ::testing::TestParamInfo<Backend>& info);

#define CLIPWATCH_BOTH_BACKENDS(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(Backends, suite, ::testing::Values(Backend::SQLite, Backend::MySQL),  \
                             backendName)
