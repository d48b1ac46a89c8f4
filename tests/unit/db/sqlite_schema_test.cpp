// Creating and opening SQLite clip databases: the exact schema, the Version row, replacing
// an existing file, open failures, and a process killed in the middle of recording clips.
#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <set>
#include <signal.h>

namespace
{

// The creation statements, as the tables must be made.
const std::set<std::string> expectedSchema = {
    "CREATE TABLE Version(ID INTEGER PRIMARY KEY AUTOINCREMENT, Version TEXT NOT NULL, Build TEXT "
    "NOT NULL)",
    "CREATE TABLE Directories(ID INTEGER PRIMARY KEY AUTOINCREMENT, Directory TEXT NOT NULL, "
    "Checked INTEGER KEY)",
    "CREATE TABLE Clips(ID INTEGER PRIMARY KEY AUTOINCREMENT, ClipName TEXT NOT NULL, AnchorPath "
    "TEXT NOT NULL, SourceDir TEXT NOT NULL, Complete INTEGER KEY, MD5 Text KEY, PiconPath TEXT, "
    "PiconValue INTEGER, PiconError TEXT, XMPPath TEXT, XMPValue INTEGER, XMPError TEXT, "
    "ProxyPath TEXT, ProxyValue INTEGER, ProxyError TEXT, MezzaninePath TEXT, MezzanineValue "
    "INTEGER, MezzanineError TEXT, RTINPath TEXT, RTINValue INTEGER, RTINError TEXT, CaptionsPath "
    "TEXT, CaptionsValue INTEGER, CaptionsError TEXT, QCPath TEXT, QCValue INTEGER, QCError TEXT, "
    "Element0 TEXT, Element0Value TEXT, Element0State INTEGER, Element0Error TEXT, Element1 TEXT, "
    "Element1Value TEXT, Element1State INTEGER, Element1Error TEXT, Element2 TEXT, Element2Value "
    "TEXT, Element2State INTEGER, Element2Error TEXT, Element3 TEXT, Element3Value TEXT, "
    "Element3State INTEGER, Element3Error TEXT, Element4 TEXT, Element4Value TEXT, Element4State "
    "INTEGER, Element4Error TEXT, Element5 TEXT, Element5Value TEXT, Element5State INTEGER, "
    "Element5Error TEXT, Element6 TEXT, Element6Value TEXT, Element6State INTEGER, Element6Error "
    "TEXT, Element7 TEXT, Element7Value TEXT, Element7State INTEGER, Element7Error TEXT, Element8 "
    "TEXT, Element8Value TEXT, Element8State INTEGER, Element8Error TEXT, Element9 TEXT, "
    "Element9Value TEXT, Element9State INTEGER, Element9Error TEXT, MovePath TEXT, MoveValue "
    "INTEGER, MoveError TEXT, AddTo TEXT)",
    "CREATE TABLE sqlite_sequence(name,seq)",
    "CREATE INDEX Directory_Index ON Directories (Directory)",
    "CREATE INDEX AnchorPath_Index ON Clips (AnchorPath)",
    "CREATE INDEX Checked_Index ON Directories (Checked)",
    "CREATE INDEX Complete_Index ON Clips (Complete)",
};

std::set<std::string> schemaOf(dbCwsHandle* handle)
{
    std::set<std::string> statements;
    for (CSQLite3Query rows = handle->sqlite->execQuery("SELECT sql FROM sqlite_master");
         !rows.eof(); rows.nextRow())
        statements.insert(rows.fieldValue("sql"));
    return statements;
}

std::string path(const char* folder)
{
    return (testenv::makeDir(folder) + "/clips.db").toStdString();
}

dbCwsHandle* openSQLite(const std::string& file, bool create)
{
    return dbCWSOpen(QString::fromStdString(file), "scanner0",
                     CWS_DB_SQLITE | (create ? CWS_DB_CREATE : 0), "", "", "");
}

TEST(SQLiteSchema, AFreshDatabaseHoldsExactlyTheSchemaAndOneVersionRow)
{
    dbCwsHandle* handle = openSQLite(path("fresh"), true);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(schemaOf(handle), expectedSchema);
    CSQLite3Query version = handle->sqlite->execQuery("SELECT * FROM Version");
    EXPECT_STREQ(version.fieldValue("Version"), "1");
    EXPECT_STREQ(version.fieldValue("Build"), "851");
    version.nextRow();
    EXPECT_TRUE(version.eof());
    version.finalize();
    EXPECT_EQ(dbCWSGetFileCount(handle), 0);
    EXPECT_EQ(dbCWSGetDirectoryCount(handle), 0);
    dbCWSClose(handle);
}

TEST(SQLiteSchema, CreatingOverAnExistingFileStartsEmptyAndOpeningKeepsTheRows)
{
    const std::string file = path("replace");
    dbCwsHandle* handle = openSQLite(file, true);
    dbCWSAddClip(handle, "a", "/a", "/");
    dbCWSClose(handle);

    handle = openSQLite(file, false);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(dbCWSGetFileCount(handle), 1);
    dbCWSClose(handle);

    handle = openSQLite(file, true);
    EXPECT_EQ(dbCWSGetFileCount(handle), 0);
    EXPECT_EQ(schemaOf(handle), expectedSchema);
    dbCWSClose(handle);
}

TEST(SQLiteSchema, OpenFailuresGiveNoHandleAndALoggedError)
{
    ErrLogSetFileName("schema");
    EXPECT_EQ(dbCWSOpen("", "scanner0", CWS_DB_SQLITE, "", "", ""), nullptr);
    EXPECT_EQ(testenv::readLog("schema"), "");
    EXPECT_EQ(openSQLite("/nonexistent-folder/clips.db", false), nullptr);
    const QString log = testenv::readLog("schema");
    EXPECT_TRUE(log.contains("ERROR(CWSdb): Unable to open SQLite database\n"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("ERROR(CWSdb): /nonexistent-folder/clips.db\n"));
    ErrLogClose();
}

TEST(SQLiteSchema, ConnectionTestNamesTheKinds)
{
    std::string message;
    testSqlConnect(CWS_DB_SQLITE, message, "", "", "");
    EXPECT_EQ(message, "Sql Lite Available");
    testSqlConnect(CWS_DB_MONGO, message, "", "", "");
    EXPECT_EQ(message, "Mongo not supported");
    message = "kept";
    testSqlConnect(7, message, "", "", "");
    EXPECT_EQ(message, "kept");
}

TEST(SQLiteSchema, AKilledProcessLosesNoReturnedClip)
{
    const std::string file = path("crash");
    dbCWSClose(openSQLite(file, true));
    QProcess helper;
    helper.start(testenv::buildDir() + "/tests/unit/db/db_addclip_helper",
                 {QString::fromStdString(file), "10000"});
    ASSERT_TRUE(helper.waitForStarted());
    QByteArray printed;
    while (printed.count('\n') < 1000 && helper.waitForReadyRead(10000))
        printed += helper.readAllStandardOutput();
    ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
    helper.waitForFinished();
    printed += helper.readAllStandardOutput();
    const QList<QByteArray> returned = printed.left(printed.lastIndexOf('\n')).split('\n');
    ASSERT_GE(returned.size(), 1000);
    ASSERT_LT(returned.size(), 10000) << "the helper finished before it was killed";

    dbCwsHandle* handle = openSQLite(file, false);
    ASSERT_NE(handle, nullptr);
    EXPECT_STREQ(handle->sqlite->execQuery("PRAGMA integrity_check").fieldValue(0), "ok");
    for (const QByteArray& anchor : returned)
        ASSERT_EQ(dbCWSAddClip(handle, "c", anchor.toStdString(), "/"), 1) << anchor.data();
    dbCWSClose(handle);
}

} // namespace
