// Directory and clip records on both backends: adding, looking up, batches of work, element
// status, hostile and very long paths, NULL texts, and two threads writing through one handle.
#include "tests/unit/db/dbfixture.h"

#include <chrono>
#include <thread>

namespace
{

class Records : public DbTest
{
};

// Clips table's text of column `column` of the clip at `anchor`.
std::string column(const std::string& name, const std::string& anchor)
{
    return "SELECT " + name + " FROM Clips WHERE AnchorPath='" + anchor + "'";
}

TEST_P(Records, DirectoriesMoveThroughTheirStates)
{
    EXPECT_EQ(dbCWSAddDirectory(handle, "/scan/a", 0), 0);
    EXPECT_EQ(dbCWSAddDirectory(handle, "/scan/a", 0), -1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Directories"), 1);
    EXPECT_EQ(dbCWSCheckDirectory(handle, "/scan/a"), QZ_FOUND_FILE);
    EXPECT_EQ(dbCWSCheckDirectory(handle, "/scan/unknown"), -1);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/scan/unknown"), -1);

    std::string next = "stale";
    EXPECT_EQ(dbCWSGetNextDirectoryToCheck(handle, next), -1);
    EXPECT_EQ(next, "");
    EXPECT_EQ(dbCWSUpdateDirectoryCheck(handle, "/scan/a", 0), 0);
    EXPECT_EQ(dbCWSCheckDirectory(handle, "/scan/a"), 0);
    EXPECT_EQ(dbCWSGetNextDirectoryToCheck(handle, next), 0);
    EXPECT_EQ(next, "/scan/a");

    EXPECT_EQ(dbCWSAddDirectory(handle, "/scan/done", 1), 0);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/scan/done"), QZ_FINISHED);
    EXPECT_EQ(dbCWSUpdateDirectoryCheck(handle, "/scan/not-recorded", 0), 0);
}

TEST_P(Records, DirectoryWithNullCheckedReadsZeroButIsNotHandedOut)
{
    ASSERT_TRUE(exec("INSERT INTO Directories (Directory, Checked) VALUES ('/n', NULL)"));
    ASSERT_TRUE(exec("INSERT INTO Directories (Directory, Checked) VALUES ('/b', 2)"));
    EXPECT_EQ(dbCWSCheckDirectory(handle, "/n"), 0);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/n"), 0);
    std::string next;
    EXPECT_EQ(dbCWSGetNextDirectoryToCheck(handle, next), -1);
    EXPECT_EQ(next, "");
}

TEST_P(Records, AddingAClipRecordsItOnceAsFound)
{
    EXPECT_EQ(dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan"), 0);
    EXPECT_EQ(dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan"), 1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips"), 1);
    EXPECT_EQ(number(column("Complete", "/scan/a.mxf")), QZ_FOUND_FILE);
    EXPECT_EQ(value(column("PiconValue", "/scan/a.mxf")), std::nullopt);
    EXPECT_EQ(value(column("MD5", "/scan/a.mxf")), std::nullopt);

    // A clip at 6 is not work yet.
    std::vector<dbCwsClipSlot> slots(3);
    dbCwsWorkFlags flags;
    flags.picon = true;
    dbCWSGetNextFileToCheck(handle, slots, flags, 3);
    EXPECT_EQ(slots[0].anchorPath, "");
}

TEST_P(Records, AClipCanBeAddedInTheStateItsCallerGivesIt)
{
    int asked = 0;
    const auto waiting = [&] {
        ++asked;
        return 0;
    };
    EXPECT_EQ(dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan", waiting), 0);
    EXPECT_EQ(dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan", waiting), 1);
    EXPECT_EQ(asked, 1) << "asked for a new clip only";
    EXPECT_EQ(number(column("Complete", "/scan/a.mxf")), 0);
    EXPECT_EQ(dbCWSAddClip(handle, "b.mxf", "/scan/b.mxf", "/scan", [] { return QZ_ERROR; }), 0);
    EXPECT_EQ(number(column("Complete", "/scan/b.mxf")), QZ_ERROR);

    std::vector<dbCwsClipSlot> slots(3);
    dbCwsWorkFlags flags;
    flags.picon = true;
    dbCWSGetNextFileToCheck(handle, slots, flags, 3);
    EXPECT_EQ(slots[0].anchorPath, "/scan/a.mxf") << "a waiting clip is work at once";
}

TEST_P(Records, AWriteBatchCommitsWhenItEndsOrRenews)
{
    // A second connection sees only committed rows.
    dbCwsHandle* observer = open(false, "observer");
    ASSERT_TRUE(observer);
    const auto seen = [&] { return dbCWSGetFileCount(observer); };
    {
        dbCwsWriteBatch batch(handle, "test");
        EXPECT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan"), 0);
        EXPECT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan"), 1) << "its own rows are seen";
        EXPECT_EQ(seen(), isMySQL() ? 1 : 0) << "MySQL writes each statement at once";
        batch.renewAfter(std::chrono::hours(1));
        EXPECT_EQ(seen(), isMySQL() ? 1 : 0) << "not due yet";
        batch.renewAfter(std::chrono::milliseconds(0));
        EXPECT_EQ(seen(), 1) << "renewed: committed";
        EXPECT_EQ(dbCWSAddClip(handle, "b", "/scan/b.mxf", "/scan"), 0);
    }
    EXPECT_EQ(seen(), 2) << "ended: committed";
    dbCWSClose(observer);
    dbCwsWriteBatch none(nullptr, "test");
    none.renewAfter(std::chrono::milliseconds(0));
}

TEST_P(Records, ProxyAndMezzanineOutputsAreClipsOnSQLiteOnly)
{
    dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan");
    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_PROXY, nullptr,
                          "/scan/a_proxy.mp4", QZ_FINISHED, "");
    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_MEZZANINE, nullptr,
                          "/scan/a_mezz.mxf", QZ_FINISHED, "");
    const int expected = isMySQL() ? 1 : 0;
    EXPECT_EQ(dbCWSAddClip(handle, "a_proxy.mp4", "/scan/a_proxy.mp4", "/scan"), expected);
    EXPECT_EQ(dbCWSAddClip(handle, "a_mezz.mxf", "/scan/a_mezz.mxf", "/scan"), expected);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips"), isMySQL() ? 1 : 3);
}

TEST_P(Records, BatchOfWorkHonoursTheLimitOnMySQLAndGivesOneClipOnSQLite)
{
    for (int i = 0; i < 5; ++i) {
        const std::string anchor = "/scan/c" + std::to_string(i) + ".mxf";
        dbCWSAddClip(handle, "c.mxf", anchor, "/scan");
        dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_CLIP, nullptr, "Added", 0, "");
    }
    std::vector<dbCwsClipSlot> slots(5);
    dbCwsWorkFlags flags;
    flags.proxy = true;
    EXPECT_EQ(dbCWSGetNextFileToCheck(handle, slots, flags, 3), 0);
    const int filled = isMySQL() ? 3 : 1;
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(slots[static_cast<size_t>(i)].anchorPath.empty(), i >= filled);
        EXPECT_EQ(slots[static_cast<size_t>(i)].id == -1, i >= filled);
    }
    EXPECT_EQ(slots[0].clipName, "c.mxf");
    EXPECT_EQ(slots[0].sourceDir, "/scan");
    EXPECT_EQ(value("SELECT AnchorPath FROM Clips WHERE ID=" + std::to_string(slots[0].id)),
              slots[0].anchorPath);

    // With no flag set MySQL selects nothing; SQLite ignores the flags.
    std::vector<dbCwsClipSlot> none(5);
    EXPECT_EQ(dbCWSGetNextFileToCheck(handle, none, dbCwsWorkFlags(), 5), 0);
    EXPECT_EQ(none[0].anchorPath.empty(), isMySQL());
}

TEST_P(Records, ElementPutBackByClearingIsWorkAgain)
{
    dbCWSAddClip(handle, "c.mxf", "/scan/c.mxf", "/scan", [] { return 0; });
    dbCWSSetElementStatus(handle, -1, "/scan/c.mxf", CWS_ELEMENT_PICON, nullptr, "lost process",
                          QZ_LOST_PROCESS, "lost process");
    std::vector<dbCwsClipSlot> slots(2);
    dbCwsWorkFlags flags;
    flags.picon = true;
    if (isMySQL()) {
        dbCWSGetNextFileToCheck(handle, slots, flags, 2);
        EXPECT_EQ(slots[0].anchorPath, "") << "a lost element is not work";
    }
    dbCWSClearErrors(handle, QZ_LOST_PROCESS);
    dbCWSGetNextFileToCheck(handle, slots, flags, 2);
    EXPECT_EQ(slots[0].anchorPath, "/scan/c.mxf");
}

TEST_P(Records, BatchOnAnEmptyTable)
{
    std::vector<dbCwsClipSlot> slots(2);
    slots[0].anchorPath = "left over";
    dbCwsWorkFlags flags;
    flags.picon = true;
    EXPECT_EQ(dbCWSGetNextFileToCheck(handle, slots, flags, 2), isMySQL() ? 0 : -1);
    EXPECT_EQ(dbCWSGetNextMD5FileToCheck(handle, slots, 2), isMySQL() ? 0 : -1);
    if (!isMySQL()) {
        EXPECT_EQ(slots[0].anchorPath, "");
    }
}

TEST_P(Records, EmptyMD5MakesAClipEligibleForMD5Again)
{
    dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan");
    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_MD5, "0123abcd", nullptr, 1, "");
    std::vector<dbCwsClipSlot> slots(1);
    EXPECT_EQ(dbCWSGetNextMD5FileToCheck(handle, slots, 1), isMySQL() ? 0 : -1);
    EXPECT_EQ(slots[0].anchorPath, "");
    EXPECT_EQ(value(column("MD5", "/scan/a.mxf")), "0123abcd");

    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_MD5, "", nullptr, 0, "");
    EXPECT_EQ(value(column("MD5", "/scan/a.mxf")), std::nullopt);
    EXPECT_EQ(dbCWSGetNextMD5FileToCheck(handle, slots, 1), 0);
    EXPECT_EQ(slots[0].anchorPath, "/scan/a.mxf");
    EXPECT_EQ(slots[0].id, -1);
}

TEST_P(Records, NextFileFromStateFindsByElementState)
{
    dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan");
    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_PICON, nullptr, "p.jpg", 4, "x");
    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_NUMBERED0 << 3, "msg", "v", 7,
                          "e");
    dbCWSSetElementStatus(handle, -1, "/scan/a.mxf", CWS_ELEMENT_RTIN, nullptr, "r", 2, "");
    std::string name, anchor = "stale", dir;
    EXPECT_EQ(dbCWSGetNextFileFromState(handle, &name, &anchor, &dir, CWS_ELEMENT_PICON, 4), 0);
    EXPECT_EQ(name, "a.mxf");
    EXPECT_EQ(anchor, "/scan/a.mxf");
    EXPECT_EQ(dir, "/scan");
    EXPECT_EQ(
        dbCWSGetNextFileFromState(handle, nullptr, &anchor, nullptr, CWS_ELEMENT_NUMBERED0 << 3, 7),
        0);
    EXPECT_EQ(dbCWSGetNextFileFromState(handle, nullptr, &anchor, nullptr, CWS_ELEMENT_CLIP, 6), 0);
    EXPECT_EQ(dbCWSGetNextFileFromState(handle, &name, &anchor, &dir, CWS_ELEMENT_PICON, 1), -1);
    EXPECT_EQ(anchor, "");
    EXPECT_EQ(name, "");
    EXPECT_EQ(dbCWSGetNextFileFromState(handle, nullptr, &anchor, nullptr, CWS_ELEMENT_RTIN, 2),
              -1);
}

TEST_P(Records, ElementStatusIsWrittenAndReadPerElement)
{
    const std::string anchor = "/scan/a.mxf";
    dbCWSAddClip(handle, "a.mxf", anchor, "/scan");
    for (const dbCwsElement& element : dbCwsElements()) {
        SCOPED_TRACE(element.word);
        const int state =
            element.kind == dbCwsElementKind::MD5 ? 0 : 1 + (dbCwsElementIndex(element.code) % 7);
        EXPECT_EQ(dbCWSSetElementStatus(handle, -1, anchor, element.code, "text", "value", state,
                                        "error"),
                  0);
    }
    dbCwsElementStatus status;
    ASSERT_EQ(dbCWSGetElementStatus(handle, anchor, status), 0);
    for (const dbCwsElement& element : dbCwsElements()) {
        SCOPED_TRACE(element.word);
        const int expected =
            element.stateColumn.empty() ? 0 : 1 + (dbCwsElementIndex(element.code) % 7);
        EXPECT_EQ(status.state(element.code), expected);
        if (element.kind == dbCwsElementKind::Numbered) {
            EXPECT_EQ(value(column(element.textColumn, anchor)), "text");
        }
    }
    EXPECT_EQ(status.md5, "text");
    EXPECT_EQ(value(column("Element9Value", anchor)), "value");

    std::string name, dir, path = "stale", error;
    int state = -5;
    ASSERT_EQ(dbCWGetClipInfo(handle, anchor, &name, &dir, CWS_ELEMENT_MEZZANINE, 0, &path, &state,
                              &error),
              0);
    EXPECT_EQ(name, "a.mxf");
    EXPECT_EQ(dir, "/scan");
    EXPECT_EQ(path, "value");
    EXPECT_EQ(state, status.state(CWS_ELEMENT_MEZZANINE));
    EXPECT_EQ(error, "error");

    path = "untouched";
    EXPECT_EQ(dbCWGetClipInfo(handle, anchor, &name, nullptr, 0, 0, &path, nullptr, nullptr), 0);
    EXPECT_EQ(path, "untouched");
    EXPECT_EQ(dbCWGetClipInfo(handle, "/scan/none", &name, &dir, 0, 0, nullptr, nullptr, nullptr),
              -1);
    EXPECT_EQ(dbCWSGetElementStatus(handle, "/scan/none", status), -1);
}

TEST_P(Records, NullTextsAreStoredAsNullAndAMissingErrorIsNamed)
{
    const std::string anchor = "/scan/a.mxf";
    dbCWSAddClip(handle, "a.mxf", anchor, "/scan");
    dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_PICON, nullptr, nullptr, 2, nullptr);
    dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_NUMBERED0, nullptr, nullptr, 2, "e");
    EXPECT_EQ(value(column("PiconPath", anchor)), std::nullopt);
    EXPECT_EQ(value(column("PiconError", anchor)), "Error:  Not reported from operation");
    EXPECT_EQ(value(column("Element0", anchor)), std::nullopt);
    EXPECT_EQ(value(column("Element0Value", anchor)), std::nullopt);
    EXPECT_EQ(number(column("Element0State", anchor)), 2);
}

TEST_P(Records, AnIdAddressesTheRowOnMySQLAndIsIgnoredOnSQLite)
{
    dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan");
    dbCWSAddClip(handle, "b.mxf", "/scan/b.mxf", "/scan");
    const int idOfA = number("SELECT ID FROM Clips WHERE AnchorPath='/scan/a.mxf'");
    dbCWSSetElementStatus(handle, idOfA, "/scan/b.mxf", CWS_ELEMENT_CLIP, nullptr, nullptr, 4, "");
    EXPECT_EQ(number(column("Complete", "/scan/a.mxf")), isMySQL() ? 4 : 6);
    EXPECT_EQ(number(column("Complete", "/scan/b.mxf")), isMySQL() ? 6 : 4);
}

TEST_P(Records, HostileAndLongPathsAreStoredFoundAndUpdated)
{
    const std::string paths[] = {"/scan/say \"cheese\".mxf",
                                 "/scan/it's.mxf",
                                 "/scan/100%_done.mxf",
                                 "/scan/Grüße/カメラ.mxf",
                                 "/scan/x'); DROP TABLE Clips; --",
                                 "/scan/" + std::string(10 * 1024, 'L') + ".mxf"};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path.substr(0, 40));
        EXPECT_EQ(dbCWSAddDirectory(handle, path, 0), 0);
        EXPECT_EQ(dbCWSAddDirectory(handle, path, 0), -1);
        dbCWSUpdateDirectoryCheck(handle, path, 2);
        EXPECT_EQ(dbCWSGetDirectoryState(handle, path), 2);
        EXPECT_EQ(dbCWSAddClip(handle, "n", path, path), 0);
        EXPECT_EQ(dbCWSAddClip(handle, "n", path, path), 1);
        dbCWSSetElementStatus(handle, -1, path, CWS_ELEMENT_PROXY, nullptr, path.c_str(), 2, "");
        std::string stored;
        EXPECT_EQ(dbCWGetClipInfo(handle, path, nullptr, &stored, CWS_ELEMENT_PROXY, 0, nullptr,
                                  nullptr, nullptr),
                  0);
        EXPECT_EQ(stored, path);
    }
    // The wildcard characters match only themselves.
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/scan/100%_XYZ.mxf"), -1);
    EXPECT_EQ(dbCWSAddClip(handle, "n", "/scan/100X_done.mxf", "/scan"), 0);

    dwCWSCheckDatabase(handle);
    for (const std::string& path : paths) {
        EXPECT_EQ(dbCWSGetDirectoryState(handle, path), QZ_ERROR);
        dbCwsElementStatus status;
        ASSERT_EQ(dbCWSGetElementStatus(handle, path, status), 0);
        EXPECT_EQ(status.state(CWS_ELEMENT_PROXY), QZ_ERROR);
    }
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips"), 7);
}

TEST_P(Records, TwoThreadsOnOneHandleLoseNoWrite)
{
    constexpr int perThread = 300;
    auto work = [this](char tag) {
        for (int i = 0; i < perThread; ++i) {
            const std::string anchor = "/scan/" + std::string(1, tag) + std::to_string(i);
            dbCWSAddClip(handle, "c", anchor, "/scan");
            dbCWSSetElementStatus(handle, -1, anchor, CWS_ELEMENT_PICON, nullptr, "p", 1, "");
        }
    };
    std::thread first(work, 'a');
    std::thread second(work, 'b');
    first.join();
    second.join();
    EXPECT_EQ(dbCWSGetFileCount(handle), 2 * perThread);
    EXPECT_EQ(dbCWSGetProcessesCompleted(handle), 2 * perThread);
}

TEST_P(Records, AHandleOfNoSupportedKindDoesNothing)
{
    dbCwsHandle* inert = dbCWSOpen("whatever", "inert", 5, "", "", "");
    ASSERT_NE(inert, nullptr);
    std::string text = "x";
    EXPECT_EQ(dbCWSAddDirectory(inert, "/a", 0), -1);
    EXPECT_EQ(dbCWSCheckDirectory(inert, "/a"), 0);
    EXPECT_EQ(dbCWSGetDirectoryState(inert, "/a"), 0);
    EXPECT_EQ(dbCWSGetNextDirectoryToCheck(inert, text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(dbCWSAddClip(inert, "a", "/a", "/"), 0);
    EXPECT_EQ(dbCWSSetElementStatus(inert, -1, "/a", CWS_ELEMENT_PICON, "", "", 1, ""), 0);
    dbCwsElementStatus status;
    EXPECT_EQ(dbCWSGetElementStatus(inert, "/a", status), -1);
    EXPECT_EQ(dbCWSClearInProgress(inert, ~0u), 0);
    EXPECT_EQ(dbCWSGetFileCount(inert), -1);
    EXPECT_EQ(dbCWSGetProcessesCompleted(inert), 0);
    dbCWSClose(inert);
}

CLIPWATCH_BOTH_BACKENDS(Records);

} // namespace
