// The SQLite access layer and its files.
#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
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

    // Rows of T as another connection sees them: only what is committed.
    int committedRows()
    {
        CSQLite3DataBase reader;
        reader.open(path.c_str());
        return reader.execQuery("SELECT COUNT(*) AS N FROM T").getIntField("N");
    }

    std::string path;
    CSQLite3DataBase database;
};

// The message of the exception that `run` throws, or "no exception".
template <typename Run> std::string failure(Run run)
{
    try {
        run();
    } catch (const CSQLite3Exception& e) {
        return std::to_string(e.errorCode()) + " " + e.errorMessage();
    }
    return "no exception";
}

TEST_F(SQLiteLayer, FailuresAreExceptionsWithTheirCodesAndAFailedOpenIsLogged)
{
    CSQLite3DataBase closed, missing, notDatabase;
    const std::string layer = "1000 CPPSQLITE_ERROR[1000]: ";
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { closed.execQuery("SELECT 1"); }, layer + "Database not open"},
        {[&] { database.commitTransaction(); }, layer + "No transaction of this thread"},
        {[&] { database.execQuery("SELECT 1").fieldValue("X"); },
         layer + "Invalid field name requested"},
        {[&] { database.execQuery("SELEC nonsense"); }, "1 SQLITE_ERROR[1]: "},
        {[&] { missing.open("/nonexistent-folder/x.db"); },
         "14 SQLITE_CANTOPEN[14]: unable to open database file"},
        {[&] {
             std::ofstream(path + ".txt") << "not a database, but long enough for a header\n";
             notDatabase.open((path + ".txt").c_str());
             notDatabase.execQuery("SELECT * FROM sqlite_master");
         },
         "26 SQLITE_NOTADB[26]"},
    };
    for (const auto& [run, expected] : cases)
        EXPECT_EQ(failure(run).substr(0, expected.size()), expected);
    EXPECT_FALSE(missing.isOpen());

    // Through the database layer: no handle, and the file named in the log.
    ErrLogSetFileName("schema");
    EXPECT_EQ(dbCWSOpen("", "scanner0", CWS_DB_SQLITE, "", "", ""), nullptr);
    EXPECT_EQ(testenv::readLog("schema"), "");
    EXPECT_EQ(dbCWSOpen("/nonexistent-folder/clips.db", "scanner0", CWS_DB_SQLITE, "", "", ""),
              nullptr);
    const QString log = testenv::readLog("schema");
    EXPECT_TRUE(log.contains("ERROR(CWSdb): Unable to open SQLite database\n"
                             "ERROR(CWSdb): /nonexistent-folder/clips.db\n"))
        << log.toStdString();
    ErrLogClose();
}

TEST_F(SQLiteLayer, ATransactionHoldsOtherThreadsUntilItsCommit)
{
    database.execQuery("PRAGMA journal_mode=WAL;");
    database.beginTransaction();
    database.execQuery("INSERT INTO T (Name) VALUES ('batched')");

    std::atomic<bool> written{false};
    std::thread writer([&] {
        database.execQuery("INSERT INTO T (Name) VALUES ('other')");
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(written) << "another thread's write waits for the commit";
    database.commitTransaction();
    writer.join();
    EXPECT_EQ(committedRows(), 4) << "both writes are committed once the other thread returns";

    // A failing statement inside leaves the rest of the transaction to its commit.
    database.beginTransaction();
    database.execQuery("INSERT INTO T (Name) VALUES ('kept')");
    EXPECT_THROW(database.execQuery("INSERT INTO Missing VALUES (1)"), CSQLite3Exception);
    database.commitTransaction();
    EXPECT_EQ(committedRows(), 5);
}

TEST_F(SQLiteLayer, ALockedDatabaseIsWaitedForThenABlockedTransactionHoldsNothing)
{
    sqlite3* other = nullptr; // holds the write lock until it is closed
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
    CSQLite3DataBase blocked;
    blocked.busyTimeoutMs = 300;
    blocked.open(path.c_str());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failure([&] { blocked.beginTransaction(); }).substr(0, 18), "5 SQLITE_BUSY[5]: ");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    sqlite3_close(other);
    std::thread reader([&] { EXPECT_EQ(blocked.execQuery("SELECT 1 AS N").getIntField("N"), 1); });
    reader.join();
    blocked.execQuery("INSERT INTO T (Name) VALUES ('autocommit')");
    EXPECT_EQ(committedRows(), 3);
}

} // namespace
