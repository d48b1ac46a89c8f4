// MySQL connections: the connection test, per-thread clones, reopening under the same
// connection name, and creating over an existing database.
#include "tests/unit/db/dbfixture.h"

#include <QSqlQuery>
#include <QTcpServer>
#include <QVariant>
#include <thread>

namespace
{

class MySQL : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CLIPWATCH_REQUIRE_MARIADB();
        for (const QString& name : names)
            testdb::dropMySQL(name);
    }
    void TearDown() override
    {
        for (const QString& name : names)
            testdb::dropMySQL(name);
    }
    dbCwsHandle* open(const QString& name, bool create, const QString& connection = "scanner0")
    {
        return dbCWSOpen(name, connection, CWS_DB_MYSQL | (create ? CWS_DB_CREATE : 0),
                         testdb::user(), testdb::password(), testdb::host());
    }
    // The name of the database that the calling thread's clone of `connection` reaches.
    static QString reached(const QString& connection)
    {
        QSqlQuery query(dbCWSGetThreadDatabase(connection));
        if (!query.exec("SELECT DATABASE()") || !query.next())
            return QString();
        return query.value(0).toString();
    }

    const QStringList names{testdb::mysqlName() + "_a", testdb::mysqlName() + "_b"};
};

TEST_F(MySQL, ConnectionTestReportsAClosedPortAndNothingForARunningServer)
{
    std::string message;
    testSqlConnect(CWS_DB_MYSQL, message, testdb::user(), testdb::password(), testdb::host());
    EXPECT_EQ(message, "");

    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int closedPort = probe.serverPort();
    probe.close();
    testSqlConnect(CWS_DB_MYSQL, message, testdb::user(), testdb::password(), testdb::host(),
                   closedPort);
    EXPECT_NE(message, "");
}

TEST_F(MySQL, OpeningAMissingDatabaseFailsAndCreatingItWorks)
{
    EXPECT_EQ(open(names[0], false), nullptr);
    dbCwsHandle* handle = open(names[0], true);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(dbCWSGetFileCount(handle), 0);
    dbCWSClose(handle);

    // Creating again keeps the tables and adds one more Version row.
    handle = open(names[0], true);
    ASSERT_NE(handle, nullptr);
    QSqlQuery query(dbCWSGetThreadDatabase("scanner0"));
    ASSERT_TRUE(query.exec("SELECT Version, Build FROM Version"));
    int rows = 0;
    while (query.next()) {
        EXPECT_EQ(query.value(0).toString(), "1");
        EXPECT_EQ(query.value(1).toString(), "851");
        ++rows;
    }
    EXPECT_EQ(rows, 2);
    query = QSqlQuery();
    dbCWSClose(handle);
}

TEST_F(MySQL, EveryThreadHasItsOwnClone)
{
    dbCwsHandle* handle = open(names[0], true);
    ASSERT_NE(handle, nullptr);
    const QString mine = dbCWSGetThreadDatabase("scanner0").connectionName();
    EXPECT_EQ(dbCWSGetThreadDatabase("scanner0").connectionName(), mine);
    EXPECT_TRUE(mine.startsWith("scanner0_"));
    QString theirs;
    std::thread other([&] { theirs = dbCWSGetThreadDatabase("scanner0").connectionName(); });
    other.join();
    EXPECT_NE(theirs, mine);
    EXPECT_TRUE(theirs.startsWith("scanner0_"));
    dbCWSClose(handle);
}

TEST_F(MySQL, AReopenedConnectionNameNeverReachesTheEarlierDatabase)
{
    dbCwsHandle* first = open(names[0], true);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reached("scanner0"), names[0]);
    dbCWSAddClip(first, "a", "/a", "/");
    dbCWSClose(first);

    dbCwsHandle* second = open(names[1], true);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(reached("scanner0"), names[1]);
    EXPECT_EQ(dbCWSGetFileCount(second), 0);
    EXPECT_EQ(dbCWSAddClip(second, "a", "/a", "/"), 0);
    dbCWSClose(second);

    // After the close no clone reaches any database.
    EXPECT_FALSE(dbCWSGetThreadDatabase("scanner0").isOpen());
}

} // namespace
