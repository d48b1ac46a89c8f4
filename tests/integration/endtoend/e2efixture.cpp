// Shared pieces of the end-to-end tests (see e2efixture.h).
#include "tests/integration/endtoend/e2efixture.h"

#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace e2e
{

QStringList makeTree(const QString& root, int folders, int perFolder)
{
    static const char* const extensions[] = {"mov", "mp4", "mxf", "avi"};
    QStringList clips;
    for (int d = 0; d < folders; ++d)
        for (int f = 0; f < perFolder; ++f) {
            const QString path = QString("%1g%2/d%3/c%4.%5")
                                     .arg(root)
                                     .arg(d % 10)
                                     .arg(d)
                                     .arg(f)
                                     .arg(extensions[(d + f) % 4]);
            if (!touch(path))
                ADD_FAILURE() << "cannot write " << path.toStdString();
            clips << path;
        }
    return clips;
}

int logCount(const QString& name, const QString& text)
{
    return testenv::readLog(name).count(text);
}

Driver::~Driver()
{
    kill();
}

bool Driver::start(const QString& logName, const QStringList& batch)
{
    scanenv::startHeadless(process,
                           QStringList{"--no-window", "--log", logName, "--until-idle"} + batch);
    return scanenv::waitForOutput(process, "started", 30000);
}

bool Driver::waitIdle(int ms)
{
    return waitFor([&] { return process.state() == QProcess::NotRunning; }, ms) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

ClipDb::ClipDb(Backend backend, const QString& folder)
    : connection(QString("e2eRead%1").arg(reinterpret_cast<quintptr>(this)))
{
    if (backend == Backend::SQLite) {
        sqlite3* handle = nullptr;
        sqlite3_open_v2((folder + "/clips.db").toUtf8().constData(), &handle, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_busy_timeout(handle, 10000);
        sqlite = handle;
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QMYSQL", connection);
    db.setHostName(testdb::host());
    db.setUserName(testdb::user());
    db.setPassword(testdb::password());
    db.setDatabaseName(testdb::mysqlName());
    db.open();
}

ClipDb::~ClipDb()
{
    if (sqlite) {
        sqlite3_close(static_cast<sqlite3*>(sqlite));
        return;
    }
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
}

QStringList ClipDb::column(const QString& sql)
{
    QStringList values;
    if (sqlite) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(static_cast<sqlite3*>(sqlite), sql.toUtf8().constData(), -1,
                               &statement, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(static_cast<sqlite3*>(sqlite)) << ": "
                          << sql.toStdString();
            return values;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(statement, 0);
            values << (text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString());
        }
        sqlite3_finalize(statement);
        return values;
    }
    QSqlQuery query(QSqlDatabase::database(connection));
    if (!query.exec(sql))
        ADD_FAILURE() << query.lastError().text().toStdString() << ": " << sql.toStdString();
    while (query.next())
        values << query.value(0).toString();
    return values;
}

long long ClipDb::number(const QString& sql)
{
    const QStringList values = column(sql);
    return values.isEmpty() || values.first().isNull() ? -1 : values.first().toLongLong();
}

void expectAllComplete(ClipDb& db, const QStringList& clips)
{
    QStringList recorded = db.column("SELECT AnchorPath FROM Clips");
    QStringList expected = clips;
    recorded.sort();
    expected.sort();
    EXPECT_EQ(recorded, expected) << "a clip missing, added or recorded twice";
    expectDirectoriesDone(db);
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE Complete IS NULL OR Complete <> 1"), 0)
        << db.column("SELECT AnchorPath FROM Clips WHERE Complete IS NULL OR Complete <> 1")
               .mid(0, 5)
               .join(", ")
               .toStdString();
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE COALESCE(PiconValue, 0) <> 1 OR "
                        "COALESCE(ProxyValue, 1) <> 1 OR MD5 = 'in progress'"),
              0)
        << "an element not finished";
}

QStringList rowsWithIds(ClipDb& db)
{
    QStringList rows;
    for (const auto& [table, path] :
         {std::pair{"Clips", "AnchorPath"}, {"Directories", "Directory"}}) {
        const QString order = QString(" FROM ") + table + " ORDER BY ID";
        const QStringList ids = db.column("SELECT ID" + order);
        const QStringList paths = db.column(QString("SELECT ") + path + order);
        for (int i = 0; i < ids.size() && i < paths.size(); ++i)
            rows << ids[i] + ' ' + paths[i];
    }
    return rows;
}

void expectDirectoriesDone(ClipDb& db)
{
    const QStringList directories = db.column("SELECT Directory FROM Directories");
    EXPECT_EQ(directories.size(), QSet<QString>(directories.begin(), directories.end()).size())
        << "a directory recorded twice";
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Directories WHERE Checked IS NULL OR Checked <> 1"),
              0)
        << db.column("SELECT Directory FROM Directories WHERE Checked IS NULL OR Checked <> 1")
               .join(", ")
               .toStdString();
}

} // namespace e2e
