// Fixture of the database tests on both backends.
#include "tests/unit/db/dbfixture.h"

#include "tests/support/testenv.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

void DbTest::SetUp()
{
    if (isMySQL()) {
        CLIPWATCH_REQUIRE_MARIADB();
        name = testdb::mysqlName();
        testdb::dropMySQL(name);
    } else {
        name = testenv::makeDir("sqlite") + "/clips.db";
    }
    handle = open(true);
    ASSERT_NE(handle, nullptr);
}

void DbTest::TearDown()
{
    dbCWSClose(handle);
    handle = nullptr;
    if (isMySQL() && !name.isEmpty())
        testdb::dropMySQL(name);
}

dbCwsHandle* DbTest::open(bool create, const QString& connectionName)
{
    const uint32_t kind = (isMySQL() ? CWS_DB_MYSQL : CWS_DB_SQLITE) | (create ? CWS_DB_CREATE : 0);
    return dbCWSOpen(name, connectionName, kind, testdb::user(), testdb::password(),
                     testdb::host());
}

bool DbTest::exec(const std::string& sql)
{
    if (isMySQL())
        return QSqlQuery(dbCWSGetThreadDatabase(handle->connectionName))
            .exec(QString::fromStdString(sql));
    try {
        handle->sqlite->execQuery(sql);
        return true;
    } catch (const CSQLite3Exception&) {
        return false;
    }
}

std::optional<std::string> DbTest::value(const std::string& sql)
{
    if (isMySQL()) {
        QSqlQuery query(dbCWSGetThreadDatabase(handle->connectionName));
        if (!query.exec(QString::fromStdString(sql)) || !query.next() || query.value(0).isNull())
            return std::nullopt;
        return query.value(0).toString().toUtf8().toStdString();
    }
    CSQLite3Query cursor = handle->sqlite->execQuery(sql);
    const char* text = cursor.fieldValue(0);
    if (!text)
        return std::nullopt;
    return std::string(text);
}

int DbTest::number(const std::string& sql)
{
    const std::optional<std::string> text = value(sql);
    return text ? std::stoi(*text) : -1;
}

void DbTest::clip(const std::string& anchor, const std::string& columns)
{
    dbCWSAddClip(handle, "c", anchor, "/");
    ASSERT_TRUE(exec("UPDATE Clips SET " + columns + " WHERE AnchorPath='" + anchor + "'"));
}

std::string DbTest::row(const std::string& anchor, const std::string& columns)
{
    QStringList values;
    for (const QString& column : QString::fromStdString(columns).split(','))
        values << QString::fromStdString(value("SELECT " + column.toStdString() +
                                               " FROM Clips WHERE AnchorPath='" + anchor + "'")
                                             .value_or("NULL"));
    return values.join(',').toStdString();
}
