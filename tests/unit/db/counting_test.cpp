// Counting queries on both backends: their edge cases, and the all-at-once refresh against
// the single operations on a database that mixes every state code and NULL.
#include "tests/unit/db/dbfixture.h"

#include <random>

namespace
{

class Counting : public DbTest
{
protected:
    // The single operations, in dbCwsCount order.
    dbCwsCounts singleCounts()
    {
        using Single = int (*)(dbCwsHandle*);
        const Single singles[CWS_COUNT_KINDS] = {
            dbCWSGetDirectoryCount,     dbCWSGetSearchedCount,    dbCWSGetDirectoryErrorCount,
            dbCWSGetFileCount,          dbCWSGetCompletedCount,   dbCWSGetRemainingCount,
            dbCWSGetWaitingCount,       dbCWSGetErrorCount,       dbCWSGetMD5ProcessesInProgress,
            dbCWSGetProcessesCompleted, dbCWSGetProcessesErrored, dbCWSGetProcessesInProgress};
        dbCwsCounts counts{};
        for (size_t n = 0; n < counts.size(); ++n)
            counts[n] = singles[n](handle);
        return counts;
    }
};

TEST_P(Counting, AnEmptyDatabaseCountsZero)
{
    dbCwsCounts all{};
    all.fill(-7);
    EXPECT_EQ(dbCWSGetAllCounts(handle, all), 0);
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
}

TEST_P(Counting, AllCountsAtOnceEqualTheSingleCounts)
{
    std::mt19937 random(851);
    std::uniform_int_distribution<int> code(-1, 9); // -1 stands for NULL
    auto sqlValue = [&](int c) { return c < 0 ? std::string("NULL") : std::to_string(c); };
    const char* md5s[] = {"NULL", "'in progress'", "'Error'", "'abc'", "'Error No VexoBase'"};
    for (int i = 0; i < 120; ++i) {
        std::string columns = "Complete=" + sqlValue(code(random)) + ", MD5=" + md5s[i % 5];
        for (const dbCwsElement& element : dbCwsElements())
            if (element.kind == dbCwsElementKind::Output ||
                element.kind == dbCwsElementKind::Numbered)
                columns += ", " + element.stateColumn + "=" + sqlValue(code(random));
        const std::string anchor = "/c" + std::to_string(i);
        dbCWSAddClip(handle, "c", anchor, "/");
        ASSERT_TRUE(exec("UPDATE Clips SET " + columns + " WHERE AnchorPath='" + anchor + "'"));
    }
    for (int i = 0; i < 40; ++i) {
        const std::string dir = "/d" + std::to_string(i);
        dbCWSAddDirectory(handle, dir, 0);
        ASSERT_TRUE(exec("UPDATE Directories SET Checked=" + sqlValue(code(random)) +
                         " WHERE Directory='" + dir + "'"));
    }
    dbCwsCounts all{};
    ASSERT_EQ(dbCWSGetAllCounts(handle, all), 0);
    const dbCwsCounts singles = singleCounts();
    EXPECT_EQ(singles, all);
    EXPECT_EQ(all[CWS_COUNT_FILES], 120);
    EXPECT_EQ(all[CWS_COUNT_DIRECTORIES], 40);
    EXPECT_EQ(all[CWS_COUNT_MD5_IN_PROGRESS], 24);
    EXPECT_GT(all[CWS_COUNT_PROCESSES_IN_PROGRESS], 0);
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
