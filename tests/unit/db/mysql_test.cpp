// MySQL connections: the connection test, opening a missing database, and per-thread clones
// that follow a connection name reopened on another database.
#include "tests/unit/db/dbfixture.h"

#include <QSqlQuery>
#include <QTcpServer>
#include <QVariant>
#include <thread>

namespace
{

TEST(MySQL, ConnectionTestReportsAClosedPortAndNothingForARunningServer)
{
    CLIPWATCH_REQUIRE_MARIADB();
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

class MySQLClones : public DbTest
{
};

// The calling thread's clone of "scanner0": its name and the database it reaches.
QString reached()
{
    const QSqlDatabase clone = dbCWSGetThreadDatabase("scanner0");
    QSqlQuery query(clone);
    if (!query.exec("SELECT DATABASE()") || !query.next())
        return QString();
    return clone.connectionName() + " " + query.value(0).toString();
}

TEST_P(MySQLClones, EachThreadHasItsOwnCloneThatNeverReachesAnEarlierDatabase)
{
    EXPECT_TRUE(reached().endsWith(" " + name));
    dbCWSAddClip(handle, "a", "/a", "/");
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
    EXPECT_EQ(dbCWSAddClip(handle, "a", "/a", "/"), 0);
    dbCWSClose(handle);
    handle = nullptr;
    // After the close no clone reaches any database.
    EXPECT_FALSE(dbCWSGetThreadDatabase("scanner0").isOpen());
}

INSTANTIATE_TEST_SUITE_P(Backends, MySQLClones, ::testing::Values(Backend::MySQL), backendName);

} // namespace
