// MySQL at scale: the indexes that the lookups of a scan need, given to every database at
// open, and write batches whose transaction the server loses.
#include "tests/unit/db/dbfixture.h"

#include <QElapsedTimer>
#include <QThread>

namespace
{

// A lookup that a scan runs per clip or per directory, and the index it must use.
struct Lookup {
    const char* table;
    const char* where;
    const char* index;
};

const Lookup scanLookups[] = {
    {"Directories", "Directory='/scan/d7'", "Directory_Index"},
    {"Directories", "Checked=0", "Checked_Index"},
    {"Clips", "AnchorPath='/scan/c7.mxf'", "AnchorPath_Index"},
    {"Clips", "ProxyPath='/scan/c7.mxf.mp4'", "ProxyPath_Index"},
    {"Clips", "MezzaninePath='/scan/c7.mxf.mov'", "MezzaninePath_Index"},
    {"Clips", "Complete=0", "Complete_Index"},
};

class MySQLScale : public DbTest
{
protected:
    // The index each scan lookup would use, as "table: index" lines.
    std::string plans()
    {
        exec("ANALYZE TABLE Directories, Clips");
        std::string lines;
        for (const Lookup& lookup : scanLookups) {
            QSqlQuery query(dbCWSGetThreadDatabase(handle->connectionName));
            const QString sql =
                QString("EXPLAIN SELECT * FROM %1 WHERE %2").arg(lookup.table, lookup.where);
            const bool planned = query.exec(sql) && query.next();
            lines += std::string(lookup.table) + ": " +
                     (planned ? query.value("key").toString().toStdString() : "no plan") + "\n";
        }
        return lines;
    }
};

TEST_P(MySQLScale, EveryDatabaseHasTheIndexesOfTheScansLookupsOnceOpened)
{
    for (int n = 0; n < 200; ++n) {
        const std::string number = std::to_string(n);
        dbCWSAddDirectory(handle, "/scan/d" + number, 1);
        dbCWSAddClip(handle, "c", "/scan/c" + number + ".mxf", "/scan", [] { return 1; });
    }
    ASSERT_TRUE(exec("UPDATE Clips SET ProxyPath=CONCAT(AnchorPath, '.mp4'), "
                     "MezzaninePath=CONCAT(AnchorPath, '.mov')"));
    std::string expected;
    for (const Lookup& lookup : scanLookups)
        expected += std::string(lookup.table) + ": " + lookup.index + "\n";
    EXPECT_EQ(plans(), expected) << "a new database";

    // A database made by an older version has Checked_Index only.
    for (const Lookup& lookup : scanLookups) {
        if (std::string(lookup.index) != "Checked_Index") {
            ASSERT_TRUE(exec(std::string("DROP INDEX ") + lookup.index + " ON " + lookup.table));
        }
    }
    ASSERT_NE(plans(), expected);
    dbCWSClose(handle);
    handle = open(false);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(plans(), expected) << "an older database opened";
}

// Lost before the batch's next write or before it ends: the caller then writes them again.
TEST_P(MySQLScale, ABatchWhoseConnectionIsLostCountsItsWritesLost)
{
    dbCwsHandle* observer = open(false, "observer");
    ASSERT_NE(observer, nullptr);
    for (const bool writesAfterTheLoss : {true, false}) {
        const unsigned lost = dbCWSLostStatements(handle);
        {
            dbCwsWriteBatch batch(handle, "test");
            dbCWSAddDirectory(handle, "/scan/before", 0);
            // The batch's connection ended from the observer's; the server lets it go.
            const std::string id = value("SELECT CONNECTION_ID()").value_or("0");
            QSqlQuery query(dbCWSGetThreadDatabase("observer"));
            ASSERT_TRUE(query.exec(QString::fromStdString("KILL " + id)));
            const QString gone = QString::fromStdString(
                "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID=" + id);
            QElapsedTimer waited;
            waited.start();
            while (query.exec(gone) && query.next() && query.value(0).toInt() > 0) {
                ASSERT_LT(waited.elapsed(), 10000) << "the killed connection stays";
                QThread::msleep(10);
            }
            if (writesAfterTheLoss)
                dbCWSAddDirectory(handle, "/scan/after", 0);
        }
        EXPECT_GT(dbCWSLostStatements(handle), lost) << writesAfterTheLoss;
    }
    dbCWSClose(observer);
}

// Values are bound, never pasted, whether or not the server takes backslashes for escapes.
TEST_P(MySQLScale, ClipNamesThatLookLikeSQLAreStoredAsTheyAre)
{
    const std::vector<std::string> names{
        "it's",   "a \"quoted\" `name`",       "back\\slash\\", "what?",
        "?', '?", "\\'; DROP TABLE Clips; --", "ünï©ødé"};
    for (const char* mode : {"", "NO_BACKSLASH_ESCAPES"}) {
        ASSERT_TRUE(exec("DELETE FROM Clips"));
        ASSERT_TRUE(exec(std::string("SET SESSION sql_mode='") + mode + "'"));
        for (const std::string& name : names)
            EXPECT_EQ(dbCWSAddClip(handle, name, "/scan/" + name, "/scan?"), 0) << mode << name;
        std::vector<std::string> stored;
        QSqlQuery query(dbCWSGetThreadDatabase(handle->connectionName));
        ASSERT_TRUE(query.exec("SELECT ClipName, AnchorPath, SourceDir FROM Clips ORDER BY ID"));
        while (query.next()) {
            stored.push_back(query.value(0).toString().toStdString());
            EXPECT_EQ(query.value(1).toString().toStdString(), "/scan/" + stored.back()) << mode;
            EXPECT_EQ(query.value(2).toString().toStdString(), "/scan?") << mode;
        }
        EXPECT_EQ(stored, names) << mode;
        for (const std::string& name : names)
            EXPECT_EQ(dbCWSAddClip(handle, name, "/scan/" + name, "/scan?"), 1) << mode << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, MySQLScale, ::testing::Values(Backend::MySQL), backendName);

} // namespace
