// Test fixture that runs one test body on a fresh SQLite file and on a fresh database of the
// private MariaDB server, plus raw SQL helpers to arrange and inspect rows.
#pragma once

#include "db/dbcws.h"
#include "tests/support/testdb.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

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
    // Adds clip `anchor` and sets `columns` ("PiconValue=2, Complete=4") directly.
    void clip(const std::string& anchor, const std::string& columns);
    // The clip's values of `columns` ("Complete,MD5"), joined by commas, "NULL" for NULL.
    std::string row(const std::string& anchor, const std::string& columns);

    dbCwsHandle* handle = nullptr;
    QString name; // SQLite file path or MySQL database name
};
