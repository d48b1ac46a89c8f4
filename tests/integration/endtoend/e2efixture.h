// Shared pieces of the end-to-end tests: media trees, the program as a child process,
// and direct queries of an instance's database.
#pragma once

#include "tests/support/scanenv.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <ostream>

struct sqlite3;

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace e2e
{

using namespace scanenv;
using testenv::waitFor;

// Makes `folders` folders of `perFolder` clips each below `root` (two levels deep); the paths.
QStringList makeTree(const QString& root, int folders, int perFolder);
// How often `text` occurs in this test process's log `<name>.log`.
int logCount(const QString& name, const QString& text);
// True once that log holds `text` at least `times` times, within `ms`.
bool waitForLog(const QString& name, const QString& text, int times = 1, int ms = 60000);
QStringList sorted(QStringList list);

// The program without a window (clipwatch --no-window --until-idle) as a child process, in this
// test process's environment unless one is set on `process` first.
class Driver
{
public:
    ~Driver() { kill(); }
    // Starts it logging to `logName` with `batch` options; true once it says it started scanning.
    bool start(const QString& logName, const QStringList& batch = {"--start"});
    // True once it ended by itself within `ms` with exit code 0 (idle).
    bool waitIdle(int ms);
    void kill() { killHard(process); }
    qint64 pid() const { return process.processId(); }

protected:
    QProcess process;
};

// A read connection to the instance's database.
class ClipDb
{
public:
    ClipDb(Backend backend, const QString& folder);
    ~ClipDb();
    // First column of the first row as an integer, -1 when there is no row.
    long long number(const QString& sql);
    // Every row, its columns joined by spaces.
    QStringList column(const QString& sql);

private:
    QString connection;
    sqlite3* sqlite = nullptr;
};

// Every directory recorded once and searched.
void expectDirectoriesDone(ClipDb& db);
// After a finished run: `clips` recorded once each and complete, nothing left in progress,
// every directory recorded once and searched.
void expectAllComplete(ClipDb& db, const QStringList& clips);
// How often each job ("<profile> <source>") was taken over the services' `jobLists`, once every
// picon and MD5 of `clips` is found among them and nothing else.
QMap<QString, int> expectEveryElementAsked(const QList<QStringList>& jobLists,
                                           const QStringList& clips);

} // namespace e2e
