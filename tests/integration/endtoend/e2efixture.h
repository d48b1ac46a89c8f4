// Shared pieces of the end-to-end tests: media trees, the program as a child process,
// and direct queries of an instance's database.
#pragma once

#include "tests/support/scanenv.h"
#include "tests/support/testenv.h"

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

using scanenv::BackendTest;
using scanenv::configure;
using scanenv::killHard;
using scanenv::Service;
using scanenv::touch;
using testenv::waitFor;

// Makes `folders` folders of `perFolder` clips each below `root` (two levels deep); the paths.
QStringList makeTree(const QString& root, int folders, int perFolder);
// How often `text` occurs in the log `<name>.log` of this test process's log folder.
int logCount(const QString& name, const QString& text);
// True once that log holds `text` at least `times` times, within `ms`.
bool waitForLog(const QString& name, const QString& text, int times = 1, int ms = 60000);
// `list` in order.
QStringList sorted(QStringList list);

// The program without a window (clipwatch --no-window --until-idle) as a child process, in this
// test process's environment unless one is set on `process` first.
class Driver
{
public:
    ~Driver();
    // Starts it with its log named `logName` and `batch` options (see app/batchrun.h); true once
    // it says it has started scanning.
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
    // First column of the first row as an integer, -1 when none.
    long long number(const QString& sql);
    // First column of every row.
    QStringList column(const QString& sql);

private:
    QString connection;
    sqlite3* sqlite = nullptr;
};

// "ID path" of every clip row, then of every directory row, each by ID.
QStringList rowsWithIds(ClipDb& db);
// Every directory recorded once and searched.
void expectDirectoriesDone(ClipDb& db);
// The checks that follow a finished run: `clips` recorded once each and complete, no
// directory or clip recorded twice, nothing left in progress, every directory searched.
void expectAllComplete(ClipDb& db, const QStringList& clips);
// How often each job ("<profile> <source>") was taken over the services' `jobLists`, once every
// picon and MD5 of `clips` is found among them and nothing else.
QMap<QString, int> expectEveryElementAsked(const QList<QStringList>& jobLists,
                                           const QStringList& clips);

} // namespace e2e
