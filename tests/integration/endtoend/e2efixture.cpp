// Shared pieces of the end-to-end tests (see e2efixture.h).
#include "tests/integration/endtoend/e2efixture.h"

#include "db/dbcws.h"
#include "platform/qzhttp.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

namespace e2e
{

namespace
{
int distinct(const QStringList& values)
{
    return QSet<QString>(values.begin(), values.end()).size();
}

const char kUser[] = "clipwatch";
const char kPassword[] = "clipwatch";
const char kHost[] = "127.0.0.1";

// Waits until the process has printed `word` on its standard output.
bool waitForWord(QProcess& process, const QByteArray& word, int ms)
{
    return waitFor(
        [&] {
            return process.state() != QProcess::NotRunning && process.peek(1 << 16).contains(word);
        },
        ms);
}
} // namespace

bool touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("media") == 5;
}

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

void killHard(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

int logCount(const QString& name, const QString& text)
{
    return testenv::readLog(name).count(text);
}

Service::~Service()
{
    process.terminate();
    process.waitForFinished(5000);
}

bool Service::start(int jobMs)
{
    process.start(testenv::buildDir() + "/vexobase",
                  {"--simulate", "--jobs", "200", "--job-ms", QString::number(jobMs), "--port",
                   "1080", "--bind", "127.0.0.1"});
    return waitForWord(process, "listening", 10000);
}

bool Service::control(const QString& query)
{
    const std::string url = ("http://127.0.0.1:1080/control?" + query).toStdString();
    char* reply = nullptr;
    size_t length = 0;
    const int result =
        qzOSHTTPCommand(url.c_str(), "GET", nullptr, nullptr, 0, &reply, &length, 5000);
    const bool ok = result == 0 && reply && QByteArray(reply, length).contains("\"0\"");
    QZFree(reply);
    return ok;
}

Driver::~Driver()
{
    kill();
}

bool Driver::start(const QString& logName, bool clearErrors)
{
    QStringList arguments{logName};
    if (clearErrors)
        arguments << "--clear-errors";
    process.start(testenv::buildDir() + "/endtoend_driver", arguments);
    return waitForWord(process, "started", 30000);
}

bool Driver::waitIdle(int ms)
{
    return waitFor([&] { return process.state() == QProcess::NotRunning; }, ms) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void configure(Backend backend, const QString& folder, const QString& media,
               std::initializer_list<std::pair<const char*, QVariant>> extra)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.clear();
    store.beginGroup("Instance0");
    store.setValue("Dir", media);
    store.setValue("Separator", "/");
    store.setValue("MakePicons", 1);
    store.setValue("MakeProxy", 1);
    store.setValue("MaxTranslations", 40);
    store.setValue("ErrorCopyDirectory", "");
    if (backend == Backend::MySQL) {
        store.setValue("DBType", 2);
        store.setValue("DataBase", mysqlName());
        store.setValue("DBUsername", kUser);
        store.setValue("DBPassword", kPassword);
        store.setValue("DBHost", kHost);
    } else {
        store.setValue("DBType", 1);
        store.setValue("DataBase", folder + "/clips.db");
    }
    for (const auto& [key, value] : extra)
        store.setValue(key, value);
}

QString mysqlName()
{
    return QString("clipwatch_e2e_%1").arg(getpid());
}

QString mysqlProblem()
{
    std::string message;
    testSqlConnect(CWS_DB_MYSQL, message, kUser, kPassword, kHost);
    return QString::fromStdString(message);
}

void dropDatabase()
{
    if (::testing::Test::HasFailure())
        return; // kept for a look
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QMYSQL", "e2eAdmin");
        admin.setHostName(kHost);
        admin.setUserName(kUser);
        admin.setPassword(kPassword);
        if (admin.open())
            QSqlQuery(admin).exec("DROP DATABASE IF EXISTS " + mysqlName());
        admin.close();
    }
    QSqlDatabase::removeDatabase("e2eAdmin");
}

ClipDb::ClipDb(Backend backend, const QString& folder)
    : backend(backend), connection(QString("e2eRead%1").arg(reinterpret_cast<quintptr>(this)))
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
    db.setHostName(kHost);
    db.setUserName(kUser);
    db.setPassword(kPassword);
    db.setDatabaseName(mysqlName());
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
    EXPECT_EQ(recorded.size(), distinct(recorded)) << "a clip recorded twice";
    QStringList expected = clips;
    recorded.sort();
    expected.sort();
    EXPECT_EQ(recorded, expected);
    const QStringList directories = db.column("SELECT Directory FROM Directories");
    EXPECT_EQ(directories.size(), distinct(directories)) << "a directory recorded twice";
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Directories WHERE Checked IS NULL OR Checked <> 1"),
              0)
        << db.column("SELECT Directory FROM Directories WHERE Checked IS NULL OR Checked <> 1")
               .join(", ")
               .toStdString();
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

} // namespace e2e
