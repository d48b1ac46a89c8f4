// The SQLite access layer: exception messages, cursor movement, NULLs, bound values, the
// busy time-out and one thread's transaction on a shared connection.
#include "db/sqlite/sqlite3database.h"
#include "tests/support/testenv.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace
{

class SQLiteLayer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = (testenv::makeDir("layer") + "/t.db").toStdString();
        database.open(path.c_str());
        database.execQuery("CREATE TABLE T(ID INTEGER PRIMARY KEY, Name TEXT, Value INTEGER);");
        database.execQuery("INSERT INTO T (Name, Value) VALUES ('one', 1), (NULL, NULL);");
    }

    // The message of the exception that `run` throws, or "no exception".
    template <typename Run> static std::string failure(Run run)
    {
        try {
            run();
        } catch (const CSQLite3Exception& e) {
            return std::to_string(e.errorCode()) + " " + e.errorMessage();
        }
        return "no exception";
    }

    std::string path;
    CSQLite3DataBase database;
};

TEST(SQLite3Exception, MessagesNameTheCode)
{
    EXPECT_STREQ(CSQLite3Exception(CPPSQLITE_ERROR, "Database not open").errorMessage(),
                 "CPPSQLITE_ERROR[1000]: Database not open");
    EXPECT_STREQ(CSQLite3Exception(SQLITE_BUSY, nullptr).errorMessage(), "SQLITE_BUSY[5]: ");
    EXPECT_STREQ(CSQLite3Exception::errorCodeAsString(SQLITE_RANGE), "SQLITE_RANGE");
    EXPECT_STREQ(CSQLite3Exception::errorCodeAsString(SQLITE_DONE), "SQLITE_DONE");
    EXPECT_STREQ(CSQLite3Exception::errorCodeAsString(26), "UNKNOWN_ERROR");
    CSQLite3Exception original(SQLITE_CORRUPT, "bad");
    CSQLite3Exception copy(original);
    copy = CSQLite3Exception(SQLITE_FULL, "full");
    EXPECT_STREQ(original.errorMessage(), "SQLITE_CORRUPT[11]: bad");
    EXPECT_STREQ(copy.errorMessage(), "SQLITE_FULL[13]: full");
}

TEST_F(SQLiteLayer, TheLayerReportsItsOwnErrors)
{
    CSQLite3DataBase closed;
    EXPECT_EQ(failure([&] { closed.execQuery("SELECT 1"); }),
              "1000 CPPSQLITE_ERROR[1000]: Database not open");
    CSQLite3Query empty;
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(failure([&] { empty.nextRow(); }),
              "1000 CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
    CSQLite3Query update = database.execQuery("UPDATE T SET Value=2 WHERE ID=1");
    EXPECT_TRUE(update.eof());
    EXPECT_EQ(update.numFields(), 0);
    EXPECT_EQ(failure([&] { update.fieldValue("Value"); }),
              "1000 CPPSQLITE_ERROR[1000]: Invalid field name requested");
    CSQLite3Query rows = database.execQuery("SELECT * FROM T");
    EXPECT_EQ(failure([&] { rows.fieldDataType(3); }),
              "1000 CPPSQLITE_ERROR[1000]: Invalid field index requested");
    EXPECT_EQ(failure([&] { rows.fieldIndex("name"); }),
              "1000 CPPSQLITE_ERROR[1000]: Invalid field name requested");
}

TEST_F(SQLiteLayer, SqliteFailuresCarryTheirCodes)
{
    EXPECT_EQ(failure([&] { database.execQuery("SELEC nonsense"); }), "1 SQLITE_ERROR[1]: ");
    database.execQuery("CREATE TABLE U(Name TEXT NOT NULL);");
    EXPECT_EQ(failure([&] { database.execQuery("INSERT INTO U (Name) VALUES (NULL)"); }),
              "19 SQLITE_CONSTRAINT[19]: NOT NULL constraint failed: U.Name");
    CSQLite3DataBase missing;
    EXPECT_EQ(failure([&] { missing.open("/nonexistent-folder/x.db"); }),
              "14 SQLITE_CANTOPEN[14]: unable to open database file");
    EXPECT_FALSE(missing.isOpen());
}

TEST_F(SQLiteLayer, CursorsReadRowsNullsAndStopAtTheEnd)
{
    CSQLite3Query rows = database.execQuery("SELECT * FROM T ORDER BY ID");
    ASSERT_FALSE(rows.eof());
    EXPECT_STREQ(rows.fieldValue("Name"), "one");
    EXPECT_EQ(rows.getIntField("Value", -1), 1);
    rows.nextRow();
    ASSERT_FALSE(rows.eof());
    EXPECT_EQ(rows.fieldValue("Name"), nullptr);
    EXPECT_EQ(rows.getIntField("Value", -1), -1);
    EXPECT_EQ(rows.fieldDataType(2), SQLITE_NULL);
    rows.nextRow();
    EXPECT_TRUE(rows.eof());
    EXPECT_EQ(rows.fieldValue("Name"), nullptr);
    EXPECT_EQ(rows.getIntField("ID", -9), -9);
}

TEST_F(SQLiteLayer, MovingACursorLeavesTheSourceEmpty)
{
    CSQLite3Query first = database.execQuery("SELECT Name FROM T WHERE ID=1");
    CSQLite3Query second = database.execQuery("SELECT Value FROM T WHERE ID=1");
    second = std::move(first);
    EXPECT_TRUE(first.eof());
    EXPECT_THROW(first.fieldValue("Name"), CSQLite3Exception);
    EXPECT_STREQ(second.fieldValue("Name"), "one");
    CSQLite3Query third(std::move(second));
    EXPECT_STREQ(third.fieldValue("Name"), "one");
    third.finalize();
    EXPECT_THROW(third.fieldValue("Name"), CSQLite3Exception);
}

TEST_F(SQLiteLayer, ValuesAreBoundNotPasted)
{
    const std::string hostile = "x\"); DROP TABLE T; --'%_";
    database.execQuery("INSERT INTO T (Name, Value) VALUES (?, ?)", {hostile, 7LL});
    CSQLite3Query found = database.execQuery("SELECT Value FROM T WHERE Name=?", {hostile});
    EXPECT_EQ(found.getIntField("Value"), 7);
    CSQLite3Query nulls =
        database.execQuery("SELECT COUNT(*) AS N FROM T WHERE Name IS ?", {CSQLite3Value()});
    EXPECT_EQ(nulls.getIntField("N"), 1);
    EXPECT_THROW(database.execQuery("SELECT ?", {1LL, 2LL}), CSQLite3Exception);
    // A statement given back to the cache runs again with new values.
    for (long long i = 0; i < 3; ++i)
        EXPECT_EQ(database.execQuery("SELECT ? + 1 AS N", {i}).getIntField("N"), i + 1);
}

TEST_F(SQLiteLayer, ALockedDatabaseIsWaitedForThenReportedBusy)
{
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
    CSQLite3DataBase waiting;
    waiting.busyTimeoutMs = 300;
    waiting.open(path.c_str());
    const auto start = std::chrono::steady_clock::now();
    const std::string message = failure([&] { waiting.execQuery("SELECT * FROM T"); });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(message.rfind("5 SQLITE_BUSY[5]: ", 0), 0u) << message;
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(CSQLite3DataBase().busyTimeoutMs, 10000);
}

// Rows of T as another connection sees them: only what is committed.
int committedRows(const std::string& path)
{
    CSQLite3DataBase reader;
    reader.open(path.c_str());
    return reader.execQuery("SELECT COUNT(*) AS N FROM T").getIntField("N");
}

TEST_F(SQLiteLayer, ATransactionHoldsOtherThreadsUntilItsCommit)
{
    database.execQuery("PRAGMA journal_mode=WAL;");
    database.beginTransaction();
    database.execQuery("INSERT INTO T (Name) VALUES ('batched')");
    EXPECT_EQ(committedRows(path), 2) << "nothing of the transaction is visible before its commit";

    std::atomic<bool> written{false};
    std::thread other([&] {
        database.execQuery("INSERT INTO T (Name) VALUES ('other')");
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(written) << "another thread's write waits for the commit";
    database.commitTransaction();
    other.join();
    EXPECT_EQ(committedRows(path), 4) << "both writes are committed once the other thread returns";
    EXPECT_THROW(database.commitTransaction(), CSQLite3Exception) << "no transaction is open";

    // A failing statement inside leaves the rest of the transaction to its commit.
    database.beginTransaction();
    database.execQuery("INSERT INTO T (Name) VALUES ('kept')");
    EXPECT_THROW(database.execQuery("INSERT INTO Missing VALUES (1)"), CSQLite3Exception);
    database.commitTransaction();
    EXPECT_EQ(committedRows(path), 5);

    CSQLite3DataBase closed;
    EXPECT_THROW(closed.beginTransaction(), CSQLite3Exception);
}

TEST_F(SQLiteLayer, ATransactionThatCannotBeginHoldsNothing)
{
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
    CSQLite3DataBase blocked;
    blocked.busyTimeoutMs = 100;
    blocked.open(path.c_str());
    EXPECT_THROW(blocked.beginTransaction(), CSQLite3Exception);
    sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    std::thread reader([&] { EXPECT_EQ(blocked.execQuery("SELECT 1 AS N").getIntField("N"), 1); });
    reader.join();
    blocked.execQuery("INSERT INTO T (Name) VALUES ('autocommit')");
    EXPECT_EQ(committedRows(path), 3);
}

} // namespace
