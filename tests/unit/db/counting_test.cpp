// Counting queries on both backends: their edge cases, and the all-at-once refresh (on SQLite
// the connection's count cache) against the single operations on a database that mixes every
// state code and NULL, across every kind of write: the dbCWS operations, raw SQL on the same
// connection, a second connection and a second thread.
#include "tests/unit/db/dbfixture.h"

#include <atomic>
#include <functional>
#include <random>
#include <thread>

namespace
{

class Counting : public DbTest
{
protected:
    dbCwsCounts singleCounts() { return dbCWSGetSingleCounts(handle); }

    dbCwsCounts allCounts(dbCwsHandle* from)
    {
        dbCwsCounts all{};
        all.fill(-7);
        EXPECT_EQ(dbCWSGetAllCounts(from, all), 0);
        return all;
    }

    // Clips "/c<i>" and directories "/d<i>" in random states (NULL included) and MD5 texts.
    void fillMixed(int clips, int directories)
    {
        std::mt19937 random(851);
        std::uniform_int_distribution<int> code(-1, 9); // -1 stands for NULL
        auto sqlValue = [&](int c) { return c < 0 ? std::string("NULL") : std::to_string(c); };
        const char* md5s[] = {"NULL", "'in progress'", "'Error'", "'abc'", "'Error No VexoBase'"};
        for (int i = 0; i < clips; ++i) {
            std::string columns = "Complete=" + sqlValue(code(random)) + ", MD5=" + md5s[i % 5];
            for (const dbCwsElement& element : dbCwsElements())
                if (element.kind == dbCwsElementKind::Output ||
                    element.kind == dbCwsElementKind::Numbered)
                    columns += ", " + element.stateColumn + "=" + sqlValue(code(random));
            const std::string anchor = "/c" + std::to_string(i);
            dbCWSAddClip(handle, "c", anchor, "/");
            ASSERT_TRUE(exec("UPDATE Clips SET " + columns + " WHERE AnchorPath='" + anchor + "'"));
        }
        for (int i = 0; i < directories; ++i) {
            const std::string dir = "/d" + std::to_string(i);
            dbCWSAddDirectory(handle, dir, 0);
            ASSERT_TRUE(exec("UPDATE Directories SET Checked=" + sqlValue(code(random)) +
                             " WHERE Directory='" + dir + "'"));
        }
    }

    struct Step {
        const char* name;
        std::function<void()> run;
    };

    // Runs each step and compares the refresh with the single counts after it.
    void expectCountsFollow(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            SCOPED_TRACE(step.name);
            step.run();
            EXPECT_EQ(allCounts(handle), singleCounts());
        }
    }
};

TEST_P(Counting, AnEmptyDatabaseCountsZero)
{
    const dbCwsCounts all = allCounts(handle);
    for (int count : all)
        EXPECT_EQ(count, 0);
    EXPECT_EQ(singleCounts(), all);
}

TEST_P(Counting, NullAndMarkerTextsCountByTheirExactValues)
{
    dbCWSAddClip(handle, "a", "/null", "/");
    dbCWSAddClip(handle, "b", "/found", "/");
    ASSERT_TRUE(exec("UPDATE Clips SET Complete=NULL, MD5='Error No VexoBase' WHERE "
                     "AnchorPath='/null'"));
    ASSERT_TRUE(exec("UPDATE Clips SET MD5='Error' WHERE AnchorPath='/found'"));
    dbCWSAddDirectory(handle, "/d", 0);
    dbCWSUpdateDirectoryCheck(handle, "/d", 2);

    EXPECT_EQ(dbCWSGetFileCount(handle), 2);
    EXPECT_EQ(dbCWSGetCompletedCount(handle), 0);
    EXPECT_EQ(dbCWSGetRemainingCount(handle), 1); // NULL is not remaining, 6 is
    EXPECT_EQ(dbCWSGetWaitingCount(handle), 0);
    EXPECT_EQ(dbCWSGetProcessesCompleted(handle), 2); // any MD5 text but "in progress"
    EXPECT_EQ(dbCWSGetProcessesErrored(handle), 1);   // only the exact "Error"
    EXPECT_EQ(dbCWSGetDirectoryErrorCount(handle), 1);
    EXPECT_EQ(allCounts(handle), singleCounts());
}

TEST_P(Counting, AllCountsAtOnceEqualTheSingleCounts)
{
    fillMixed(120, 40);
    const dbCwsCounts all = allCounts(handle);
    EXPECT_EQ(singleCounts(), all);
    EXPECT_EQ(all[CWS_COUNT_FILES], 120);
    EXPECT_EQ(all[CWS_COUNT_DIRECTORIES], 40);
    EXPECT_EQ(all[CWS_COUNT_MD5_IN_PROGRESS], 24);
    EXPECT_GT(all[CWS_COUNT_PROCESSES_IN_PROGRESS], 0);
}

TEST_P(Counting, TheRefreshFollowsTheOperationsOfTheDatabase)
{
    fillMixed(60, 20);
    const char* md5s[] = {"in progress", "Error", "0123abcd", ""};
    std::vector<Step> steps{
        {"dbCWSAddClip and dbCWSAddDirectory",
         [&] {
             for (int i = 0; i < 5; ++i) {
                 dbCWSAddClip(handle, "n", "/n" + std::to_string(i), "/");
                 dbCWSAddDirectory(handle, "/nd" + std::to_string(i), i % 2);
             }
         }},
        {"dbCWSUpdateDirectoryCheck",
         [&] {
             for (int i = 0; i < 20; ++i)
                 dbCWSUpdateDirectoryCheck(handle, "/d" + std::to_string(i), i % 7);
         }},
    };
    // Every element with each state code, MD5 with each marker text.
    for (const dbCwsElement& element : dbCwsElements())
        steps.push_back({element.word.c_str(), [&] {
                             for (int i = 0; i < 30; ++i) {
                                 const std::string anchor = "/c" + std::to_string(i * 2);
                                 const char* text =
                                     element.kind == dbCwsElementKind::MD5 ? md5s[i % 4] : "t";
                                 dbCWSSetElementStatus(handle, -1, anchor, element.code, text,
                                                       "/out", i % 10, "e");
                             }
                         }});
    steps.push_back({"dwCWSCheckDatabase", [&] { dwCWSCheckDatabase(handle); }});
    steps.push_back({"dbCWSClearInProgress", [&] { dbCWSClearInProgress(handle, ~0u); }});
    steps.push_back({"dbCWSClearRunning", [&] { dbCWSClearRunning(handle, 1, 1, 1, 1, 1, 1, 1); }});
    steps.push_back({"dbCWSClearErrors 4", [&] { dbCWSClearErrors(handle, QZ_ERROR); }});
    steps.push_back({"dbCWSClearErrors 1", [&] { dbCWSClearErrors(handle, QZ_FINISHED); }});
    steps.push_back({"dbCWSClearAllErrors", [&] { dbCWSClearAllErrors(handle); }});
    expectCountsFollow(steps);
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_FILES], 65);
}

TEST_P(Counting, TheRefreshFollowsRawSQLOnTheSameConnection)
{
    fillMixed(60, 20);
    std::vector<Step> steps;
    for (const dbCwsElement& element : dbCwsElements()) {
        const std::string column = element.kind == dbCwsElementKind::MD5
                                       ? std::string("MD5='in progress'")
                                       : element.stateColumn + "=2";
        if (!element.stateColumn.empty() || element.kind == dbCwsElementKind::MD5)
            steps.push_back({element.word.c_str(), [this, column] {
                                 ASSERT_TRUE(
                                     exec("UPDATE Clips SET " + column + " WHERE ID % 3 = 1"));
                             }});
    }
    steps.push_back({"INSERT", [&] {
                         ASSERT_TRUE(exec("INSERT INTO Clips (ClipName, AnchorPath, SourceDir, "
                                          "Complete, MD5, PiconValue, Element9State) VALUES "
                                          "('r', '/r', '/', 1, 'Error', 4, 2)"));
                     }});
    // A row added or removed with a single element state or MD5 set, for each of them.
    for (const dbCwsElement& element : dbCwsElements()) {
        const bool md5 = element.kind == dbCwsElementKind::MD5;
        if (element.stateColumn.empty() && !md5)
            continue;
        const std::string column = md5 ? std::string("MD5") : element.stateColumn;
        const std::string value = md5 ? "'in progress'" : "1";
        steps.push_back({element.word.c_str(), [this, column, value] {
                             ASSERT_TRUE(exec("INSERT INTO Clips (ClipName, AnchorPath, "
                                              "SourceDir, " +
                                              column + ") VALUES ('s', '/s', '/', " + value + ")"));
                         }});
        steps.push_back({element.word.c_str(),
                         [this] { ASSERT_TRUE(exec("DELETE FROM Clips WHERE AnchorPath='/s'")); }});
    }
    steps.push_back({"REPLACE of an existing row", [&] {
                         ASSERT_TRUE(exec("REPLACE INTO Clips (ID, ClipName, AnchorPath, "
                                          "SourceDir, Complete, XMPValue) VALUES "
                                          "(3, 'r', '/r3', '/', 1, 5)"));
                     }});
    steps.push_back({"UPDATE of the directories", [&] {
                         ASSERT_TRUE(exec("UPDATE Directories SET Checked=4 WHERE ID % 2 = 0"));
                     }});
    steps.push_back({"rolled back transaction", [&] {
                         ASSERT_TRUE(exec("BEGIN"));
                         ASSERT_TRUE(exec("DELETE FROM Clips WHERE Complete=1"));
                         ASSERT_TRUE(exec("UPDATE Directories SET Checked=1"));
                         EXPECT_EQ(allCounts(handle), singleCounts());
                         ASSERT_TRUE(exec("ROLLBACK"));
                     }});
    steps.push_back({"DELETE of some rows", [&] {
                         ASSERT_TRUE(exec("DELETE FROM Clips WHERE ID % 4 = 0"));
                         ASSERT_TRUE(exec("DELETE FROM Directories WHERE Checked=4"));
                     }});
    steps.push_back({"DELETE of every row", [&] {
                         ASSERT_TRUE(exec("DELETE FROM Clips"));
                         ASSERT_TRUE(exec("DELETE FROM Directories"));
                     }});
    expectCountsFollow(steps);
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_FILES], 0);
}

TEST_P(Counting, StoredValuesOfOtherTypesCountAsTheStatementsCountThem)
{
    if (isMySQL())
        GTEST_SKIP() << "SQLite stores values of any type in any column";
    fillMixed(10, 5);
    // Texts that are numbers become integers in an INTEGER column, others stay texts.
    const char* values[] = {"'1'", "1.0", "' 2 '", "'abc'", "X'01'", "1.5", "'4.0'", "-0"};
    std::vector<Step> steps;
    for (const char* value : values)
        steps.push_back({value, [this, value] {
                             const std::string v = value;
                             ASSERT_TRUE(exec("UPDATE Clips SET Complete=" + v + ", MD5=" + v +
                                              ", PiconValue=" + v + ", Element3State=" + v +
                                              " WHERE ID % 2 = 0"));
                             ASSERT_TRUE(exec("UPDATE Directories SET Checked=" + v));
                         }});
    expectCountsFollow(steps);
}

TEST_P(Counting, WritesOfAnotherConnectionAreCounted)
{
    fillMixed(30, 10);
    dbCwsHandle* other = open(false, "scanner1");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(allCounts(handle), singleCounts());
    dbCWSAddClip(other, "o", "/o", "/");
    dbCWSSetElementStatus(other, -1, "/c1", CWS_ELEMENT_PROXY, nullptr, "/p", QZ_IN_PROGRESS,
                          nullptr);
    dbCWSUpdateDirectoryCheck(other, "/d1", QZ_FINISHED);
    EXPECT_EQ(allCounts(handle), singleCounts());
    // Both connections write, one after the other.
    dbCWSAddClip(handle, "h", "/h", "/");
    dbCWSClearAllErrors(other);
    dbCWSSetElementStatus(handle, -1, "/c2", CWS_ELEMENT_MD5, "in progress", nullptr, 0, nullptr);
    EXPECT_EQ(allCounts(handle), singleCounts());
    EXPECT_EQ(allCounts(other), singleCounts());
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_FILES], 32);
    dbCWSClose(other);
}

TEST_P(Counting, TablesMadeAgainOnTheSameConnectionAreCounted)
{
    if (isMySQL())
        GTEST_SKIP() << "the count cache is SQLite's";
    fillMixed(10, 10);
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_DIRECTORIES], 10);
    ASSERT_TRUE(exec("DROP TABLE Directories"));
    ASSERT_TRUE(exec("CREATE TABLE Directories(ID INTEGER PRIMARY KEY AUTOINCREMENT, Directory "
                     "TEXT NOT NULL, Checked INTEGER KEY);"));
    dbCWSAddDirectory(handle, "/x", 0);
    EXPECT_EQ(allCounts(handle), singleCounts());
    dbCWSAddDirectory(handle, "/y", 0);
    dbCWSUpdateDirectoryCheck(handle, "/y", QZ_FINISHED);
    EXPECT_EQ(allCounts(handle), singleCounts());
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_SEARCHED], 1);
}

TEST_P(Counting, TheRefreshStaysRightWhileAnotherThreadWrites)
{
    fillMixed(20, 0);
    constexpr int added = 150;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < added; ++i) {
            const std::string anchor = "/w" + std::to_string(i);
            dbCWSAddClip(handle, "w", anchor, "/");
            dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr,
                                  i % 2 ? QZ_FINISHED : QZ_ERROR, nullptr);
        }
        done = true;
    });
    int files = 0;
    while (!done) {
        const dbCwsCounts all = allCounts(handle);
        EXPECT_GE(all[CWS_COUNT_FILES], files); // never loses a clip
        EXPECT_LE(all[CWS_COUNT_FILES], 20 + added);
        EXPECT_LE(all[CWS_COUNT_COMPLETED] + all[CWS_COUNT_REMAINING], all[CWS_COUNT_FILES]);
        files = all[CWS_COUNT_FILES];
    }
    writer.join();
    EXPECT_EQ(allCounts(handle), singleCounts());
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_FILES], 20 + added);
}

TEST_P(Counting, WithoutADatabaseTheCountsGiveTheirMissingResults)
{
    dbCwsHandle* inert = dbCWSOpen("x", "inert", 7, "", "", "");
    dbCwsCounts all{};
    EXPECT_EQ(dbCWSGetAllCounts(inert, all), -1);
    EXPECT_EQ(all[CWS_COUNT_DIRECTORIES], -1);
    EXPECT_EQ(all[CWS_COUNT_ERRORS], -1);
    EXPECT_EQ(all[CWS_COUNT_MD5_IN_PROGRESS], 0);
    EXPECT_EQ(all[CWS_COUNT_PROCESSES_ERRORED], 0);
    dbCWSClose(inert);
}

CLIPWATCH_BOTH_BACKENDS(Counting);

} // namespace
