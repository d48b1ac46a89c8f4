// Shared pieces of the end-to-end tests (see e2efixture.h).
#include "tests/integration/endtoend/e2efixture.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

namespace e2e
{

QStringList makeTree(const QString& root, int folders, int perFolder)
{
    static const char* const extensions[] = {"mov", "mp4", "mxf", "avi"};
    QStringList clips;
    for (int d = 0; d < folders; ++d)
        for (int f = 0; f < perFolder; ++f) {
            const QString path =
                root + QString::asprintf("g%d/d%d/c%d.%s", d % 10, d, f, extensions[(d + f) % 4]);
            EXPECT_TRUE(touch(path)) << "cannot write " << path.toStdString();
            clips << path;
        }
    return clips;
}

int logCount(const QString& name, const QString& text)
{
    return testenv::readLog(name).count(text);
}

bool waitForLog(const QString& name, const QString& text, int times, int ms)
{
    return waitFor([&] { return logCount(name, text) >= times; }, ms);
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

bool Driver::start(const QString& logName, const QStringList& batch)
{
    // Beside its log, what the program reports on standard error (failed database statements).
    process.setStandardErrorFile(
        qEnvironmentVariable("CLIPWATCH_LOG_DIR") + "/" + logName + ".stderr", QIODevice::Append);
    startHeadless(process, QStringList{"--no-window", "--log", logName, "--until-idle"} + batch);
    return waitForOutput(process, "started", 30000);
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
        sqlite3_open_v2((folder + "/clips.db").toUtf8().constData(), &sqlite, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_busy_timeout(sqlite, 10000);
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
    sqlite3_close(sqlite); // nothing for null
    QSqlDatabase::removeDatabase(connection);
}

QStringList ClipDb::column(const QString& sql)
{
    QStringList values;
    if (sqlite) {
        const auto addRow = [](void* list, int columns, char** row, char**) {
            QStringList fields;
            for (int i = 0; i < columns; ++i)
                fields << QString::fromUtf8(row[i]);
            *static_cast<QStringList*>(list) << fields.join(' ');
            return 0;
        };
        if (sqlite3_exec(sqlite, sql.toUtf8().constData(), addRow, &values, nullptr) != SQLITE_OK)
            ADD_FAILURE() << sqlite3_errmsg(sqlite) << ": " << sql.toStdString();
        return values;
    }
    QSqlQuery query(QSqlDatabase::database(connection));
    if (!query.exec(sql))
        ADD_FAILURE() << query.lastError().text().toStdString() << ": " << sql.toStdString();
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < query.record().count(); ++i)
            fields << query.value(i).toString();
        values << fields.join(' ');
    }
    return values;
}

long long ClipDb::number(const QString& sql)
{
    return column(sql).value(0, "-1").toLongLong();
}

void expectAllComplete(ClipDb& db, const QStringList& clips)
{
    EXPECT_EQ(sorted(db.column("SELECT AnchorPath FROM Clips")), sorted(clips))
        << "a clip missing, added or recorded twice";
    expectDirectoriesDone(db);
    EXPECT_EQ(db.column("SELECT AnchorPath FROM Clips WHERE COALESCE(Complete, 0) <> 1").mid(0, 5),
              QStringList())
        << "a clip not complete";
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE COALESCE(PiconValue, 0) <> 1 OR "
                        "COALESCE(ProxyValue, 1) <> 1 OR MD5 = 'in progress'"),
              0)
        << "an element not finished";
}

void expectDirectoriesDone(ClipDb& db)
{
    const QStringList directories = db.column("SELECT Directory FROM Directories");
    EXPECT_EQ(directories.size(), QSet<QString>(directories.begin(), directories.end()).size())
        << "a directory recorded twice";
    EXPECT_EQ(db.column("SELECT Directory FROM Directories WHERE COALESCE(Checked, 0) <> 1"),
              QStringList())
        << "a directory not searched";
}

QMap<QString, int> expectEveryElementAsked(const QList<QStringList>& jobLists,
                                           const QStringList& clips)
{
    QMap<QString, int> times;
    for (const QStringList& jobs : jobLists)
        for (const QString& job : jobs)
            ++times[job];
    for (const QString& clip : clips)
        for (const char* profile : {"picon ", "md5 "})
            EXPECT_TRUE(times.contains(profile + clip)) << profile << clip.toStdString();
    EXPECT_EQ(times.size(), 2 * clips.size()) << "a job of something that is no element";
    return times;
}

} // namespace e2e
