// Fixture of the program core's tests: a fresh settings store and log per test, service requests
// answered in-process (no service), and the core started the way the program starts it, alone or
// under its main window.
#pragma once

#include "control/program.h"
#include "scanner/clipwatch.h"
#include "ui/mainwindow.h"

#include <gtest/gtest.h>

#include <QVariant>

#include <map>
#include <memory>
#include <ostream>
#include <string>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes keys of the settings group "Instance<number>".
    static void setKeys(int number, const std::map<QString, QVariant>& values);
    // Gives instance `number` a new SQLite database and an empty scan directory.
    void setDatabase(int number);
    // The database path setDatabase gave instance `number`.
    QString databasePath(int number) const;
    // Gives instances 0 .. databases-1 a database, constructs the core and runs its second start
    // step; the first ping is held back.
    void startProgram(int databases = 0);
    // The same under a window, waiting until the window's Connect() has run.
    void startWindow(int databases = 0);
    // Runs `request`; the reply text, or "<none>" when it gave none. `result` holds its result.
    std::string run(const char* request);
    std::string run(const std::string& request) { return run(request.c_str()); }
    // The setting record of instance k.
    CWSSettings settings(int k) const;
    // Log lines written so far that contain `text`.
    static int logCount(const QString& text);

    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    QString folder;
    int result = 0;
};
