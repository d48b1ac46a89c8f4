// Counting queries on both backends: the all-at-once refresh (SQLite's count cache) against
// the single counts across every kind of write.
#include "tests/unit/db/dbfixture.h"

#include <atomic>
#include <functional>
#include <random>
#include <thread>

namespace
{

// SQLite values of every type for the state and MD5 columns: numbers as texts, reals, blobs.
const char* const anyType[] = {"'1'", "1.0",   "' 2 '", "'abc'",   "X'01'",
                               "1.5", "'4.0'", "-0",    "'Error'", "NULL"};

class Counting : public DbTest
{
protected:
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
                if (!element.stateColumn.empty())
                    columns += ", " + element.stateColumn + "=" + sqlValue(code(random));
            clip("/c" + std::to_string(i), columns);
        }
        for (int i = 0; i < directories; ++i) {
            const std::string dir = "/d" + std::to_string(i);
            dbCWSAddDirectory(handle, dir, 0);
            ASSERT_TRUE(exec("UPDATE Directories SET Checked=" + sqlValue(code(random)) +
                             " WHERE Directory='" + dir + "'"));
        }
    }

    void after(const std::string& what, const std::function<void()>& write)
    {
        SCOPED_TRACE(what);
        write();
        EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
    }
    void afterSQL(const std::string& sql)
    {
        after(sql, [&] { ASSERT_TRUE(exec(sql)); });
    }
};

TEST_P(Counting, ValuesCountExactlyAndTheRefreshFollowsEveryWriteOfTheConnection)
{
    EXPECT_EQ(allCounts(handle), dbCwsCounts{}) << "an empty database counts 0";
    clip("/null", "Complete=NULL, MD5='Error No VexoBase'");
    clip("/found", "MD5='Error'");
    dbCWSAddDirectory(handle, "/d", 0);
    dbCWSUpdateDirectoryCheck(handle, "/d", 2);
    // NULL is not remaining, 6 is; any MD5 text but "in progress" is a completed process, only
    // the exact "Error" an errored one.
    const dbCwsCounts expected = {1, 0, 1, 2, 0, 1, 0, 0, 0, 2, 1, 0};
    EXPECT_EQ(dbCWSGetSingleCounts(handle), expected);
    EXPECT_EQ(allCounts(handle), expected);

    fillMixed(60, 20);
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_MD5_IN_PROGRESS], 12);
    after("mixed states", [] {});
    after("dbCWSAddClip and dbCWSAddDirectory", [&] {
        for (int i = 0; i < 5; ++i) {
            dbCWSAddClip(handle, "n", "/n" + std::to_string(i), "/");
            dbCWSAddDirectory(handle, "/nd" + std::to_string(i), i % 2);
        }
    });
    after("dbCWSUpdateDirectoryCheck", [&] {
        for (int i = 0; i < 20; ++i)
            dbCWSUpdateDirectoryCheck(handle, "/d" + std::to_string(i), i % 7);
    });
    // Every element with each state code, MD5 with each marker text; then in SQL an update,
    // and a row added and removed with only that element set.
    const char* md5s[] = {"in progress", "Error", "0123abcd", ""};
    for (const dbCwsElement& element : dbCwsElements()) {
        const bool md5 = element.kind == dbCwsElementKind::MD5;
        after(element.word, [&] {
            for (int i = 0; i < 30; ++i)
                dbCWSSetElementStatus(handle, -1, "/c" + std::to_string(i * 2), element.code,
                                      md5 ? md5s[i % 4] : "t", "/out", i % 10, "e");
        });
        if (element.stateColumn.empty() && !md5)
            continue;
        const std::string column = md5 ? "MD5" : element.stateColumn;
        const std::string set = md5 ? "'in progress'" : "2";
        afterSQL("UPDATE Clips SET " + column + "=" + set + " WHERE ID % 3 = 1");
        afterSQL("INSERT INTO Clips (ClipName, AnchorPath, SourceDir, " + column +
                 ") VALUES ('s', '/s', '/', " + set + ")");
        afterSQL("DELETE FROM Clips WHERE AnchorPath='/s'");
    }
    after("dwCWSCheckDatabase", [&] { dwCWSCheckDatabase(handle); });
    after("dbCWSClearInProgress", [&] { dbCWSClearInProgress(handle, ~0u); });
    after("dbCWSClearAllErrors", [&] { dbCWSClearAllErrors(handle); });
    after("dbCWSClearProcesses", [&] { dbCWSClearProcesses(handle); });
    afterSQL("REPLACE INTO Clips (ID, ClipName, AnchorPath, SourceDir, Complete, XMPValue) "
             "VALUES (3, 'r', '/r3', '/', 1, 5)");
    for (const char* sql :
         {"BEGIN", "DELETE FROM Clips WHERE Complete=1", "UPDATE Directories SET Checked=1",
          "ROLLBACK", "DELETE FROM Clips WHERE ID % 4 = 0",
          "DELETE FROM Directories WHERE Checked=4"})
        afterSQL(sql);
    if (!isMySQL()) {
        // SQLite stores values of any type: texts that are numbers become integers in an
        // INTEGER column, others stay texts.
        for (const std::string v : anyType) {
            afterSQL("UPDATE Clips SET Complete=" + v + ", MD5=" + v + ", PiconValue=" + v +
                     ", Element3State=" + v + " WHERE ID % 2 = 0");
            afterSQL("UPDATE Directories SET Checked=" + v);
        }
    }
    afterSQL("DELETE FROM Clips");
    afterSQL("DELETE FROM Directories");
    EXPECT_EQ(allCounts(handle), dbCwsCounts{});
}

TEST_P(Counting, WritesOfAnotherConnectionAreCounted)
{
    fillMixed(30, 10);
    dbCwsHandle* other = open(false, "scanner1");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
    dbCWSAddClip(other, "o", "/o", "/");
    dbCWSSetElementStatus(other, -1, "/c1", CWS_ELEMENT_PROXY, nullptr, "/p", QZ_IN_PROGRESS,
                          nullptr);
    dbCWSUpdateDirectoryCheck(other, "/d1", QZ_FINISHED);
    EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
    // A clearing after a foreign write recounts once instead of following its rows.
    dbCWSSetElementStatus(other, -1, "/c2", CWS_ELEMENT_PICON, nullptr, "/p", QZ_ERROR, nullptr);
    dbCWSClearAllErrors(handle);
    EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
    dbCWSAddClip(handle, "h", "/h", "/");
    dbCWSClearAllErrors(other);
    EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
    EXPECT_EQ(allCounts(other), dbCWSGetSingleCounts(handle));
    EXPECT_EQ(allCounts(handle)[CWS_COUNT_FILES], 32);
    if (!isMySQL()) {
        // The recount after a foreign write counts values of every type as the single counts do.
        for (const std::string v : anyType) {
            SCOPED_TRACE(v);
            other->sqlite->execQuery("UPDATE Clips SET Complete=" + v + ", MD5=" + v +
                                     ", ProxyValue=" + v + ", Element9State=" + v +
                                     " WHERE ID % 3 = 0");
            other->sqlite->execQuery("UPDATE Directories SET Checked=" + v + " WHERE ID % 2 = 0");
            EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
        }
    }
    dbCWSClose(other);
}

TEST_P(Counting, TwoThreadsWritingLoseNothingWhileTheRefreshReads)
{
    constexpr int perThread = 150;
    std::atomic<int> running{2};
    auto write = [&](char tag) {
        for (int i = 0; i < perThread; ++i) {
            const std::string anchor = "/" + std::string(1, tag) + std::to_string(i);
            dbCWSAddClip(handle, "c", anchor, "/");
            dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_PICON, nullptr, "p", QZ_FINISHED,
                                  "");
            dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr,
                                  i % 2 ? QZ_FINISHED : QZ_ERROR, nullptr);
        }
        --running;
    };
    std::thread first(write, 'a');
    std::thread second(write, 'b');
    int files = 0;
    // Clear Processes recounts in place of the per-row trigger: writes beside it are kept.
    for (int pass = 0; running > 0; ++pass) {
        if (pass % 8 == 0)
            dbCWSClearProcesses(handle);
        const dbCwsCounts all = allCounts(handle);
        EXPECT_GE(all[CWS_COUNT_FILES], files) << "never loses a clip";
        EXPECT_LE(all[CWS_COUNT_COMPLETED] + all[CWS_COUNT_REMAINING], all[CWS_COUNT_FILES]);
        files = all[CWS_COUNT_FILES];
    }
    first.join();
    second.join();
    EXPECT_EQ(allCounts(handle), dbCWSGetSingleCounts(handle));
    EXPECT_EQ(dbCWSGetFileCount(handle), 2 * perThread);
}

TEST(Inert, AHandleOfNoSupportedKindDoesNothing)
{
    dbCwsHandle* inert = dbCWSOpen("whatever", "inert", 5, "", "", "");
    ASSERT_NE(inert, nullptr);
    std::string text = "x";
    EXPECT_EQ(dbCWSAddDirectory(inert, "/a", 0), -1);
    EXPECT_EQ(dbCWSCheckDirectory(inert, "/a"), 0);
    EXPECT_EQ(dbCWSGetNextDirectoryToCheck(inert, text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(dbCWSAddClip(inert, "a", "/a", "/"), 0);
    EXPECT_EQ(dbCWSSetElementStatus(inert, -1, "/a", CWS_ELEMENT_PICON, "", "", 1, ""), 0);
    dbCwsElementStatus status;
    EXPECT_EQ(dbCWSGetElementStatus(inert, "/a", status), -1);
    EXPECT_EQ(dbCWSClearInProgress(inert, ~0u), 0);
    dbCwsCounts all{};
    EXPECT_EQ(dbCWSGetAllCounts(inert, all), -1);
    EXPECT_EQ(all, dbCWSGetSingleCounts(inert));
    dbCWSClose(inert);
}

CLIPWATCH_BOTH_BACKENDS(Counting);

} // namespace
