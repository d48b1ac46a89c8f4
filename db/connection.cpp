// Opening, creating and closing a clip database, the per-thread MySQL clones and the
// connection test.
#include "db/connection.h"

#include "db/clipfiles.h"

#include "db/countcache.h"
#include "db/schema.h"
#include "platform/qzlog.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <QVersionNumber>
#include <QtDebug>
#include <cstdio>
#include <sys/vfs.h>

namespace
{

// One thread's clone of a registered MySQL connection.
struct ThreadClone {
    QSqlDatabase database;   // the open clone
    quint64 generation;      // registration of the connection name it was cloned from
    QPointer<QThread> owner; // null once the thread that made it has ended
};

// Guards the clone cache and the registration counters.
QMutex threadConnectionsLock;
// Clones by thread and connection name. Kept on the heap for the life of the process, so that
// no connection is torn down after the driver plugin is gone.
auto* const threadConnections = new QHash<QThread*, QHash<QString, ThreadClone>>;
// Bumped each time a connection name is registered or removed; older clones are stale.
auto* const connectionGenerations = new QHash<QString, quint64>;

void bumpGeneration(const QString& connectionName)
{
    QMutexLocker lock(&threadConnectionsLock);
    ++(*connectionGenerations)[connectionName];
}

void dropClone(QHash<QString, ThreadClone>& clones, const QString& connectionName)
{
    QString cloneName = clones[connectionName].database.connectionName();
    clones[connectionName].database.close();
    clones.remove(connectionName);
    QSqlDatabase::removeDatabase(cloneName);
}

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

// Network file systems, where SQLite's write-ahead log is unsafe.
bool onNetworkFileSystem(const QString& path)
{
    struct statfs info;
    const QByteArray file = path.toUtf8();
    if (statfs(file.constData(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0x6969:     // NFS
    case 0x517B:     // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
    case 0x65735546: // FUSE (sshfs and similar)
    case 0x564C:     // NCP
    case 0x5346414F: // AFS
    case 0x73757245: // Coda
        return true;
    default:
        return false;
    }
}

// Write-ahead log with synchronous NORMAL: every committed write is in the log file before
// the call returns, so a crash of the program loses nothing. Network file systems keep the
// rollback journal with full synchronisation.
void chooseJournal(CSQLite3DataBase& database, const QString& path)
{
    try {
        if (onNetworkFileSystem(path))
            return;
        database.execQuery("PRAGMA journal_mode=WAL;");
        database.execQuery("PRAGMA synchronous=NORMAL;");
    } catch (const CSQLite3Exception& failure) {
        qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(),
               "dbCWSOpen");
    }
}

void createSQLiteSchema(CSQLite3DataBase& database)
{
    for (const dbCwsSchemaStep& step : dbCwsSQLiteSchema()) {
        if (step.logLine)
            ErrOut("%s", step.logLine);
        const bool versionRow = step.statement.find('?') != std::string::npos;
        try {
            if (versionRow)
                database.execQuery(step.statement,
                                   {std::string(CWS_DB_VERSION), std::string(CWS_DB_BUILD)});
            else
                database.execQuery(step.statement);
        } catch (const CSQLite3Exception& failure) {
            qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(),
                   "dbCWSOpen");
        }
    }
}

dbCwsHandle* openSQLite(dbCwsHandle* handle, bool create)
{
    const std::string path = utf8(handle->databaseName);
    handle->sqlite = std::make_unique<CSQLite3DataBase>();
    if (create) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            std::remove((path + suffix).c_str());
    }
    ErrOut("\nSQLite-Opening(%s)\n", path.c_str());
    try {
        handle->sqlite->open(path.c_str());
    } catch (const CSQLite3Exception&) {
        ErrFmtOut(QZ_LEVEL_ERROR, 0, 0, "ERROR(CWSdb): %s\n", "Unable to open SQLite database");
        ErrFmtOut(QZ_LEVEL_ERROR, 0, 0, "ERROR(CWSdb): %s\n", path.c_str());
        delete handle;
        return nullptr;
    }
    chooseJournal(*handle->sqlite, handle->databaseName);
    handle->returnsIds = sqlite3_libversion_number() >= 3035000;
    if (create)
        createSQLiteSchema(*handle->sqlite);
    for (const std::string& table : dbCwsAddedTables(false)) {
        try {
            handle->sqlite->execQuery(table);
        } catch (const CSQLite3Exception& failure) {
            qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(),
                   "dbCWSOpen");
        }
    }
    dbCwsInstallCountCache(handle, "dbCWSOpen");
    return handle;
}

void runMySQLStep(QSqlDatabase& database, const dbCwsSchemaStep& step)
{
    if (step.logLine)
        ErrOut("%s", step.logLine);
    QSqlQuery query(database);
    query.prepare(QString::fromStdString(step.statement));
    if (step.statement.find(":Version") != std::string::npos) {
        query.bindValue(":Version", CWS_DB_VERSION);
        query.bindValue(":Build", CWS_DB_BUILD);
    }
    if (!query.exec())
        qDebug("%s%s", step.failureTag, query.lastError().text().toUtf8().constData());
}

// The open database's index names as "table.index", in lower case (table names may be).
QSet<QString> existingIndexes(const QSqlDatabase& database)
{
    QSqlQuery query(database);
    if (!query.exec("SELECT TABLE_NAME, INDEX_NAME FROM information_schema.STATISTICS WHERE "
                    "TABLE_SCHEMA=DATABASE()"))
        qDebug("SELECT INDEX_NAME %s", query.lastError().text().toUtf8().constData());
    QSet<QString> names;
    while (query.next())
        names.insert((query.value(0).toString() + "." + query.value(1).toString()).toLower());
    return names;
}

// Adds what databases made by older versions lack: the tables kept beside the clip records and
// the indexes.
// Present indexes are looked up first rather than created again, so that an open never waits
// for the table locks of another connection's transaction.
dbCwsHandle* completeMySQLSchema(dbCwsHandle* handle)
{
    QSqlQuery query(handle->connection);
    // MariaDB gives the rows of an INSERT from 10.5 on; MySQL does not.
    if (query.exec("SELECT VERSION();") && query.next()) {
        const QString version = query.value(0).toString();
        handle->returnsIds = version.contains("MariaDB", Qt::CaseInsensitive) &&
                             QVersionNumber::fromString(version) >= QVersionNumber(10, 5);
    }
    for (const std::string& table : dbCwsAddedTables(true))
        if (!query.exec(QString::fromStdString(table)))
            qDebug("CREATE TABLE %s", query.lastError().text().toUtf8().constData());
    const QSet<QString> existing = existingIndexes(handle->connection);
    for (const dbCwsMySQLIndex& index : dbCwsMySQLIndexes()) {
        if (existing.contains(QString("%1.%2").arg(index.table, index.name).toLower()))
            continue;
        ErrOut("MySQL-CreateIndex %s\n", index.name);
        const QString statement =
            QString("CREATE INDEX %1 ON %2 (%3);").arg(index.name, index.table, index.columns);
        if (!query.exec(statement))
            qDebug("%s %s", statement.toUtf8().constData(),
                   query.lastError().text().toUtf8().constData());
    }
    return handle;
}

// Removes a connection that failed to open and gives none.
dbCwsHandle* failMySQL(dbCwsHandle* handle)
{
    qDebug("%s", handle->connection.lastError().text().toUtf8().constData());
    handle->connection.close();
    handle->connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(handle->connectionName);
    bumpGeneration(handle->connectionName);
    delete handle;
    return nullptr;
}

dbCwsHandle* openMySQL(dbCwsHandle* handle, bool create, const QString& user,
                       const QString& password, const QString& host)
{
    QSqlDatabase& database = handle->connection;
    database = QSqlDatabase::addDatabase("QMYSQL", handle->connectionName);
    bumpGeneration(handle->connectionName);
    database.setHostName(host);
    database.setUserName(user);
    database.setPassword(password);
    ErrOut("\nMySQ-Opening(%s)\n", utf8(handle->databaseName).c_str());
    if (!create)
        database.setDatabaseName(handle->databaseName);
    database.setConnectOptions("MYSQL_OPT_RECONNECT=1");
    if (!database.open())
        return failMySQL(handle);
    if (!create) {
        ErrOut("Open existing database ");
        return completeMySQLSchema(handle);
    }
    ErrOut("Creating new database ");
    {
        QSqlQuery query(database);
        const std::string statement = dbCwsCreateDatabaseStatement(utf8(handle->databaseName));
        if (!query.exec(QString::fromStdString(statement)))
            qDebug("CREATE DATABASE %s", query.lastError().text().toUtf8().constData());
        query.finish();
    }
    database.close();
    database.setDatabaseName(handle->databaseName);
    if (!database.open())
        return failMySQL(handle);
    for (const dbCwsSchemaStep& step : dbCwsMySQLSchema())
        runMySQLStep(database, step);
    database.commit();
    qDebug("database %s", utf8(handle->connectionName).c_str());
    return completeMySQLSchema(handle);
}

} // namespace

dbCwsHandle* dbCWSOpen(const QString& name, const QString& connectionName, uint32_t kindWord,
                       const QString& user, const QString& password, const QString& host,
                       int /*port*/)
{
    if (name.isEmpty())
        return nullptr;
    auto* handle = new dbCwsHandle;
    handle->kind = kindWord & 0xFF;
    handle->databaseName = name;
    handle->connectionName = connectionName;
    const bool create = (kindWord & CWS_DB_CREATE) != 0;
    if (handle->kind == CWS_DB_MYSQL)
        return openMySQL(handle, create, user, password, host);
    if (handle->kind == CWS_DB_SQLITE)
        return openSQLite(handle, create);
    return handle;
}

int dbCWSClose(dbCwsHandle* handle)
{
    if (!handle)
        return 0;
    if (handle->kind == CWS_DB_MYSQL) {
        handle->connection.close();
        handle->connection = QSqlDatabase();
        QSqlDatabase::removeDatabase(handle->connectionName);
        bumpGeneration(handle->connectionName);
    }
    delete handle;
    return 0;
}

unsigned dbCWSLostStatements(const dbCwsHandle* handle)
{
    return handle ? handle->lostStatements.load() : 0;
}

QSqlDatabase dbCWSGetThreadDatabase(const QString& connectionName)
{
    QMutexLocker lock(&threadConnectionsLock);
    QThread* thread = QThread::currentThread();
    QHash<QString, ThreadClone>& clones = (*threadConnections)[thread];
    const quint64 generation = connectionGenerations->value(connectionName);
    auto found = clones.find(connectionName);
    if (found != clones.end()) {
        if (found->generation == generation && found->owner == thread)
            return found->database;
        dropClone(clones, connectionName);
    }
    const QString cloneName =
        QString("%1_%2").arg(connectionName).arg(reinterpret_cast<quintptr>(thread));
    QSqlDatabase clone;
    if (QSqlDatabase::contains(connectionName)) {
        clone = QSqlDatabase::cloneDatabase(connectionName, cloneName);
        if (clone.open()) {
            clones.insert(connectionName, ThreadClone{clone, generation, thread});
            return clone;
        }
    }
    qDebug("Unable to open the new database connection.");
    clone = QSqlDatabase();
    QSqlDatabase::removeDatabase(cloneName);
    return QSqlDatabase();
}

int testSqlConnect(uint32_t kind, std::string& message, const QString& user,
                   const QString& password, const QString& host, int port)
{
    switch (kind) {
    case CWS_DB_SQLITE:
        message = "Sql Lite Available";
        return 0;
    case CWS_DB_MONGO:
        message = "Mongo not supported";
        return 0;
    case CWS_DB_MYSQL:
        break;
    default:
        return 0;
    }
    // One test at a time: they share the connection name.
    static QMutex testLock;
    QMutexLocker lock(&testLock);
    {
        QSqlDatabase test = QSqlDatabase::addDatabase("QMYSQL", "testSqlConnect");
        test.setHostName(host);
        test.setUserName(user);
        test.setPassword(password);
        if (port > 0)
            test.setPort(port);
        if (!test.open())
            message = test.lastError().text().toUtf8().toStdString();
        test.close();
    }
    QSqlDatabase::removeDatabase("testSqlConnect");
    return 0;
}
