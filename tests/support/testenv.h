// A private temporary folder per test process for HOME, the settings store, the state and the log.
#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace testenv
{

// Creates the folder, points HOME, XDG_CONFIG_HOME, XDG_STATE_HOME and CLIPWATCH_LOG_DIR into it
// and sets the command address to 127.0.0.1. main() of every test calls it first and holds the
// folder to the end: it is removed then unless CLIPWATCH_KEEP_TEST_DIR is set.
std::unique_ptr<QTemporaryDir> setUp();

// A fresh empty folder in the temporary folder, named after `name`.
QString makeDir(const QString& name);

// Directory of the build tree (executables such as vexobase live below it).
QString buildDir();

// Checks `condition` every 20 ms, handling events between checks, until it holds or `ms` passed.
bool waitFor(const std::function<bool()>& condition, int ms);

// The whole log file `<name>.log` of this process.
QString readLog(const QString& name);

} // namespace testenv
