// Shared pieces of the end-to-end tests: media trees, the simulated service and the headless
// driver as child processes, instance settings, and direct queries of an instance's database.
#pragma once

#include "tests/support/testenv.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <utility>

#include <ostream>

enum class Backend { SQLite, MySQL };

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace e2e
{

// Creates `path` (and its folders) holding a few bytes.
bool touch(const QString& path);
// Waits for a condition (tests/support/testenv.h).
using testenv::waitFor;
// Makes `folders` folders of `perFolder` clips each below `root` (two levels deep); the paths.
QStringList makeTree(const QString& root, int folders, int perFolder);
// Sends SIGKILL to the process and reaps it.
void killHard(QProcess& process);
// How often `text` occurs in the log `<name>.log` of this test process's log folder.
int logCount(const QString& name, const QString& text);

// The reference service in simulated mode on 127.0.0.1:1080.
class Service
{
public:
    ~Service();
    // Starts it with jobs of `jobMs`; true once it listens.
    bool start(int jobMs);
    void kill() { killHard(process); }
    // Sends a control request (the part after "/control?"); true on {"result":"0"}.
    static bool control(const QString& query);

private:
    QProcess process;
};

// The headless runner of instance 0 (endtoend_driver) as a child process.
class Driver
{
public:
    ~Driver();
    // Starts it with its log named `logName` (and Clear Errors first when asked); true once it
    // says it has started scanning.
    bool start(const QString& logName, bool clearErrors = false);
    // True when it ended by itself (idle) within `ms`.
    bool waitIdle(int ms);
    void kill() { killHard(process); }
    qint64 pid() const { return process.processId(); }

private:
    QProcess process;
};

// Instance 0 of the settings store on `media`, with its database (SQLite in `folder`, or a
// MySQL database of this process) and the given extra keys.
void configure(Backend backend, const QString& folder, const QString& media,
               std::initializer_list<std::pair<const char*, QVariant>> extra = {});
// Drops this process's MySQL database, unless the current test has failed.
void dropDatabase();
// MySQL name of this process's database.
QString mysqlName();
// Empty when MariaDB on 127.0.0.1 answers, else the reason.
QString mysqlProblem();

// A read connection to the instance's database.
class ClipDb
{
public:
    ClipDb(Backend backend, const QString& folder);
    ~ClipDb();
    // First column of the first row as an integer, -1 when none.
    long long number(const QString& sql);
    // First column of every row.
    QStringList column(const QString& sql);

private:
    Backend backend;
    QString connection;
    void* sqlite = nullptr;
};

// The checks that follow a finished run: `clips` recorded once each and complete, no
// directory or clip recorded twice, nothing left in progress, every directory searched.
void expectAllComplete(ClipDb& db, const QStringList& clips);

} // namespace e2e
