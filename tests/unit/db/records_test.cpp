// Directory and clip records on both backends, and MySQL's per-thread connection clones.
#include "tests/unit/db/dbfixture.h"

#include <algorithm>

#include <QTcpServer>
#include <chrono>
#include <thread>

namespace
{

using Anchors = std::vector<std::string>;

class Records : public DbTest
{
protected:
    Anchors work()
    {
        std::vector<dbCwsClipSlot> picked(3);
        dbCWSGetNextFileToCheck(handle, picked, CWS_ELEMENT_PICON, 3);
        Anchors anchors;
        for (const dbCwsClipSlot& slot : picked)
            if (!slot.anchorPath.empty())
                anchors.push_back(slot.anchorPath);
        return anchors;
    }
    void addClip(const std::string& name) { dbCWSAddClip(handle, name, "/scan/" + name, "/scan"); }
    void setElement(unsigned element, const char* text, const char* value, int state,
                    const char* error = "", const std::string& anchor = "/scan/a.mxf")
    {
        dbCWSSetElementStatus(handle, -1, anchor, element, text, value, state, error);
    }
};

TEST_P(Records, DirectoriesAndClipsAreRecordedOnceInTheirStates)
{
    EXPECT_EQ(dbCWSAddDirectory(handle, "/scan/a", 0), 0);
    EXPECT_EQ(dbCWSAddDirectory(handle, "/scan/a", 0), -1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Directories"), 1);
    EXPECT_EQ(dbCWSCheckDirectory(handle, "/scan/a"), QZ_FOUND_FILE);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/scan/unknown"), -1);
    EXPECT_EQ(dbCWSAddDirectory(handle, "/scan/done", 1), 0);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/scan/done"), QZ_FINISHED);
    // The wildcard characters of a path match only themselves.
    dbCWSAddDirectory(handle, "/scan/100%_done", 1);
    EXPECT_EQ(dbCWSGetDirectoryState(handle, "/scan/100%_XYZ"), -1);
    // NULL reads as 0 but is not handed out.
    ASSERT_TRUE(exec("INSERT INTO Directories (Directory, Checked) VALUES ('/n', NULL)"));
    EXPECT_EQ(dbCWSCheckDirectory(handle, "/n"), 0);
    std::string next;
    EXPECT_EQ(dbCWSGetNextDirectoryToCheck(handle, next), -1);
    // The folder likely handed out after the one being searched.
    dbCWSMoveDirectoryChecks(handle, QZ_FOUND_FILE, 0);
    using Dirs = std::vector<std::string>;
    EXPECT_EQ(dbCWSPeekNextDirectories(handle, "/scan/a", 2), Dirs());
    for (const char* dir : {"/scan/b", "/scan/c", "/scan/d"})
        dbCWSAddDirectory(handle, dir, 0);
    dbCWSMoveDirectoryChecks(handle, QZ_FOUND_FILE, 0);
    ASSERT_EQ(dbCWSGetNextDirectoryToCheck(handle, next), 0);
    const Dirs ahead = dbCWSPeekNextDirectories(handle, next, 2);
    EXPECT_EQ(ahead.size(), 2u);
    EXPECT_EQ(std::count(ahead.begin(), ahead.end(), next), 0);
    // A folder's print, kept in place of the one before.
    EXPECT_EQ(dbCWSSetFolderPrint(handle, "/scan/a", "p1"), 0);
    EXPECT_EQ(dbCWSSetFolderPrint(handle, "/scan/a", "p2"), 0);
    EXPECT_EQ(dbCWSGetFolderPrint(handle, "/scan/a"), "p2");
    EXPECT_EQ(dbCWSGetFolderPrint(handle, "/scan/b"), "");

    // A clip is recorded once, in the state its caller gives.
    int asked = 0;
    const auto waiting = [&] { return ++asked, 0; };
    EXPECT_EQ(dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan"), 0);
    EXPECT_EQ(dbCWSAddClip(handle, "a.mxf", "/scan/a.mxf", "/scan", waiting), 1);
    EXPECT_EQ(dbCWSAddClip(handle, "b.mxf", "/scan/b.mxf", "/scan", waiting), 0);
    EXPECT_EQ(dbCWSAddClip(handle, "c.mxf", "/scan/c.mxf", "/scan", [] { return QZ_ERROR; }), 0);
    EXPECT_EQ(dbCWSAddClip(handle, "a_mxf", "/scan/a_mxf", "/scan"), 0) << "_ is no wildcard";
    EXPECT_EQ(dbCWSAddClip(handle, "d.mxf", "/scan/d.mxf", "/scan", [] { return -1; }), -1)
        << "a negative state records nothing";
    EXPECT_EQ(asked, 1) << "asked for a new clip only";
    EXPECT_EQ(number("SELECT COUNT(*) FROM Clips"), 4);
    EXPECT_EQ(row("/scan/a.mxf", "Complete,PiconValue,MD5"), "6,NULL,NULL");
    EXPECT_EQ(row("/scan/b.mxf", "Complete") + row("/scan/c.mxf", "Complete"), "04");
    EXPECT_EQ(work(), Anchors{"/scan/b.mxf"}) << "a found clip is not work yet, a waiting one is";

    // MySQL addresses a clip by its ID, SQLite by its anchor path.
    const int idOfA = number("SELECT ID FROM Clips WHERE AnchorPath='/scan/a.mxf'");
    dbCWSSetElementStatus(handle, idOfA, "/scan/b.mxf", CWS_ELEMENT_CLIP, nullptr, nullptr, 1, "");
    EXPECT_EQ(row("/scan/a.mxf", "Complete") + row("/scan/b.mxf", "Complete"),
              isMySQL() ? "10" : "61");
    // A clip's proxy or mezzanine is no clip of its own on MySQL.
    setElement(CWS_ELEMENT_PROXY, nullptr, "/scan/p.mp4", QZ_FINISHED);
    setElement(CWS_ELEMENT_MEZZANINE, nullptr, "/scan/m.mxf", QZ_FINISHED);
    EXPECT_EQ(dbCWSAddClip(handle, "p.mp4", "/scan/p.mp4", "/scan"), isMySQL() ? 1 : 0);
    EXPECT_EQ(dbCWSAddClip(handle, "m.mxf", "/scan/m.mxf", "/scan"), isMySQL() ? 1 : 0);
}

TEST_P(Records, AClipsStampOutlivesRenewalAndReopeningButCreatingReplacesAnSQLiteFile)
{
    const dbCwsFileStamp stamp{1234, 1700000000};
    dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan", nullptr, stamp);
    addClip("b.mxf"); // without a stamp
    dbCwsKnownClip known, unstamped;
    ASSERT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan", nullptr, {}, &known), 1);
    EXPECT_FALSE(known.inProgress);
    ASSERT_EQ(dbCWSAddClip(handle, "b", "/scan/b.mxf", "/scan", nullptr, {}, &unstamped), 1);

    ASSERT_TRUE(exec("UPDATE Clips SET Complete=1, PiconValue=1, PiconPath='/p/a.jpg', "
                     "ProxyValue=4, ProxyError='failed', Element9State=1, MD5='abc'"));
    const dbCwsFileStamp replaced{99, 1700000500};
    EXPECT_EQ(dbCWSRenewClip(handle, known.id, replaced), 0);
    EXPECT_EQ(
        row("/scan/a.mxf", "Complete,PiconValue,PiconPath,ProxyValue,ProxyError,Element9State,MD5"),
        "0,NULL,/p/a.jpg,NULL,NULL,NULL,NULL");
    ASSERT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan", nullptr, {}, &known), 1);
    EXPECT_TRUE(known.stamp == replaced);

    ASSERT_TRUE(exec("UPDATE Clips SET MD5='in progress'"));
    ASSERT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan", nullptr, {}, &known), 1);
    EXPECT_TRUE(known.inProgress) << "its MD5 job runs";

    // A database made before stamps were kept gets the table when it is opened.
    ASSERT_TRUE(exec("DROP TABLE ClipFiles"));
    dbCWSClose(handle);
    handle = open(false);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(dbCWSStampClip(handle, unstamped.id, stamp), 0);
    EXPECT_EQ(number("SELECT Size FROM ClipFiles"), 1234);

    // Creating replaces an SQLite file but keeps a MySQL database.
    dbCWSClose(handle);
    handle = open(true);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(dbCWSGetFileCount(handle), isMySQL() ? 2 : 0);
    EXPECT_EQ(number("SELECT COUNT(*) FROM Version"), isMySQL() ? 2 : 1);
}

TEST_P(Records, AWriteBatchCommitsWhenItEndsOrRenews)
{
    dbCwsHandle* observer = open(false, "observer"); // sees only committed rows
    ASSERT_TRUE(observer);
    const auto seen = [&] { return dbCWSGetFileCount(observer); };
    {
        dbCwsWriteBatch batch(handle, "test");
        EXPECT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan"), 0);
        EXPECT_EQ(dbCWSAddClip(handle, "a", "/scan/a.mxf", "/scan"), 1) << "its own rows are seen";
        EXPECT_EQ(seen(), 0) << "not committed yet";
        batch.beforeRenewal([&] { addClip("renewing.mxf"); });
        batch.renewAfter(std::chrono::hours(1));
        EXPECT_EQ(seen(), 0) << "not due yet";
        batch.renewAfter(std::chrono::milliseconds(0));
        EXPECT_EQ(seen(), 2) << "renewed: committed, with the write made before renewing";
        batch.renewAfter(std::chrono::milliseconds(0));
        addClip("b.mxf");
    }
    EXPECT_EQ(seen(), 3) << "ended: committed; the write before renewing made once";
    {
        dbCwsWriteBatch batch(handle, "test");
        batch.beforeRenewal([&] { addClip("never.mxf"); });
    }
    EXPECT_EQ(seen(), 3) << "a batch of one transaction makes no write before renewing";
    dbCWSClose(observer);
}

TEST_P(Records, WorkIsWhatWaitsWithinTheLimitAndAgainOnceItsMD5IsEmptiedOrItsElementCleared)
{
    std::vector<dbCwsClipSlot> picked(5);
    picked[0].anchorPath = "left over";
    EXPECT_EQ(dbCWSGetNextFileToCheck(handle, picked, CWS_ELEMENT_PICON, 2), isMySQL() ? 0 : -1);
    EXPECT_TRUE(isMySQL() || picked[0].anchorPath.empty()) << "SQLite empties the slot";

    const std::string anchor = "/scan/a.mxf";
    dbCWSAddClip(handle, "c.mxf", anchor, "/scan", [] { return 0; });
    setElement(CWS_ELEMENT_MD5, "0123abcd", nullptr, 1);
    picked.assign(1, dbCwsClipSlot());
    setElement(CWS_ELEMENT_MD5, "", nullptr, 0);
    EXPECT_EQ(dbCWSGetNextMD5FileToCheck(handle, picked, 1), 0);
    EXPECT_EQ(picked[0].anchorPath, anchor);
    setElement(CWS_ELEMENT_PICON, nullptr, "lost process", QZ_LOST_PROCESS, "lost process");
    EXPECT_EQ(work().size(), isMySQL() ? 0u : 1u) << "a lost element is not work on MySQL";
    dbCWSClearErrors(handle, QZ_LOST_PROCESS);
    EXPECT_EQ(work(), Anchors{anchor});

    for (int i = 0; i < 4; ++i)
        dbCWSAddClip(handle, "c.mxf", "/scan/c" + std::to_string(i) + ".mxf", "/scan",
                     [] { return 0; });
    EXPECT_EQ(work().size(), isMySQL() ? 3u : 1u);
    picked.assign(5, dbCwsClipSlot());
    EXPECT_EQ(dbCWSGetNextFileToCheck(handle, picked, 0, 5), 0);
    // With no flag set MySQL selects nothing; SQLite ignores the flags.
    EXPECT_EQ(picked[0].clipName + picked[0].sourceDir, isMySQL() ? "" : "c.mxf/scan");
    EXPECT_EQ(value("SELECT AnchorPath FROM Clips WHERE ID=" + std::to_string(picked[0].id)),
              isMySQL() ? std::nullopt : std::optional(picked[0].anchorPath));
}

TEST_P(Records, ElementStatusIsWrittenAndReadPerElement)
{
    const std::string anchor = "/scan/a.mxf";
    addClip("a.mxf");
    const auto stateOf = [](const dbCwsElement& element) {
        return element.stateColumn.empty() ? 0 : 1 + (dbCwsElementIndex(element.code) % 7);
    };
    for (const dbCwsElement& element : dbCwsElements())
        EXPECT_EQ(dbCWSSetElementStatus(handle, -1, anchor, element.code, "text", "value",
                                        stateOf(element), "error"),
                  0);
    dbCwsElementStatus status;
    ASSERT_EQ(dbCWSGetElementStatus(handle, anchor, status), 0);
    for (const dbCwsElement& element : dbCwsElements()) {
        EXPECT_EQ(status.state(element.code), stateOf(element)) << element.word;
        if (element.kind == dbCwsElementKind::Numbered) {
            EXPECT_EQ(row(anchor, element.textColumn), "text") << element.word;
        }
    }
    EXPECT_EQ(status.md5, "text");
    EXPECT_EQ(row(anchor, "Element9Value"), "value");
    // A read of some elements gives the others' states as 0.
    const unsigned some = CWS_ELEMENT_PROXY | CWS_ELEMENT_NUMBERED0 << 3;
    dbCwsElementStatus part;
    ASSERT_EQ(dbCWSGetElementStatus(handle, anchor, part, some), 0);
    for (const dbCwsElement& element : dbCwsElements())
        EXPECT_EQ(part.state(element.code), some & element.code ? stateOf(element) : 0)
            << element.word;
    EXPECT_EQ(part.md5, "text");

    // Null texts are stored as NULL; a missing error is named.
    setElement(CWS_ELEMENT_PICON, nullptr, nullptr, 2, nullptr);
    setElement(CWS_ELEMENT_NUMBERED0, nullptr, nullptr, 2, "e");
    EXPECT_EQ(row(anchor, "PiconPath,PiconError"), "NULL,Error:  Not reported from operation");
    EXPECT_EQ(row(anchor, "Element0,Element0Value,Element0State"), "NULL,NULL,2");
}

// The calling thread's clone of "scanner0": its name and the database it reaches.
QString reached()
{
    const QSqlDatabase clone = dbCWSGetThreadDatabase("scanner0");
    QSqlQuery query(clone);
    if (!query.exec("SELECT DATABASE()") || !query.next())
        return QString();
    return clone.connectionName() + " " + query.value(0).toString();
}

TEST_P(Records, MySQLClonesPerThreadNeverReachAnEarlierDatabase)
{
    if (!isMySQL())
        GTEST_SKIP() << "MySQL connections only";
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();
    std::string message;
    testSqlConnect(CWS_DB_MYSQL, message, testdb::user(), testdb::password(), testdb::host(),
                   closedPort);
    EXPECT_NE(message, "");

    EXPECT_TRUE(reached().endsWith(" " + name));
    addClip("a");
    dbCWSClose(handle);
    testdb::dropMySQL(name);
    name += "_b";
    EXPECT_EQ(open(false), nullptr) << "a missing database is not made";
    handle = open(true);
    ASSERT_NE(handle, nullptr);
    const QString mine = reached();
    EXPECT_TRUE(mine.startsWith("scanner0_") && mine.endsWith(" " + name)) << mine.toStdString();
    QString theirs;
    std::thread([&] { theirs = reached(); }).join();
    EXPECT_NE(theirs, mine);
    EXPECT_TRUE(theirs.endsWith(" " + name)) << theirs.toStdString();
    EXPECT_EQ(dbCWSAddClip(handle, "a", "/scan/a", "/scan"), 0);
    dbCWSClose(handle);
    handle = nullptr;
    EXPECT_FALSE(dbCWSGetThreadDatabase("scanner0").isOpen()) << "no clone reaches any database";
}

CLIPWATCH_BOTH_BACKENDS(Records);

} // namespace
