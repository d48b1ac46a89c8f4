// One test body on a fresh SQLite file and a fresh MariaDB database, with raw SQL helpers.
#pragma once

#include "db/dbcws.h"
#include "tests/support/testdb.h"
#include "tests/support/testenv.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <gtest/gtest.h>
#include <optional>
#include <string>

class DbTest : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
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
    void TearDown() override
    {
        dbCWSClose(handle);
        if (isMySQL() && !name.isEmpty())
            testdb::dropMySQL(name);
    }

    bool isMySQL() const { return GetParam() == Backend::MySQL; }
    dbCwsHandle* open(bool create, const QString& connectionName = "scanner0")
    {
        return dbCWSOpen(name, connectionName,
                         (isMySQL() ? CWS_DB_MYSQL : CWS_DB_SQLITE) | (create ? CWS_DB_CREATE : 0),
                         testdb::user(), testdb::password(), testdb::host());
    }
    bool exec(const std::string& sql)
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
    // First column of the first row of `sql` with `values` bound; nothing for NULL or no row.
    std::optional<std::string> value(const std::string& sql,
                                     const std::vector<CSQLite3Value>& values = {})
    {
        if (!isMySQL()) {
            CSQLite3Query cursor = handle->sqlite->execQuery(sql, values);
            const char* text = cursor.fieldValue(0);
            return text ? std::optional<std::string>(text) : std::nullopt;
        }
        QSqlQuery query(dbCWSGetThreadDatabase(handle->connectionName));
        query.prepare(QString::fromStdString(sql));
        for (const CSQLite3Value& bound : values)
            query.addBindValue(QString::fromStdString(std::get<std::string>(bound)));
        if (!query.exec() || !query.next() || query.value(0).isNull())
            return std::nullopt;
        return query.value(0).toString().toUtf8().toStdString();
    }
    int number(const std::string& sql) { return std::stoi(value(sql).value_or("-1")); }
    // Adds clip `anchor` and sets `columns` ("PiconValue=2, Complete=4") directly.
    void clip(const std::string& anchor, const std::string& columns)
    {
        dbCWSAddClip(handle, "c", anchor, "/");
        ASSERT_TRUE(exec("UPDATE Clips SET " + columns + " WHERE AnchorPath='" + anchor + "'"));
    }
    // The clip's values of `columns` ("Complete,MD5"), joined by commas, "NULL" for NULL.
    std::string row(const std::string& anchor, const std::string& columns)
    {
        QStringList values;
        for (const QString& column : QString::fromStdString(columns).split(','))
            values << QString::fromStdString(
                value("SELECT " + column.toStdString() + " FROM Clips WHERE AnchorPath=?", {anchor})
                    .value_or("NULL"));
        return values.join(',').toStdString();
    }

    dbCwsHandle* handle = nullptr;
    QString name; // SQLite file path or MySQL database name
};
