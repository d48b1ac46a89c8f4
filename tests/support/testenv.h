// A private temporary folder per test process for HOME, the settings store, the state and the log.
#pragma once

#include <QString>

#include <functional>

namespace testenv
{

// Creates the folder, points HOME, XDG_CONFIG_HOME, XDG_STATE_HOME and CLIPWATCH_LOG_DIR into it
// and sets the command address to 127.0.0.1; main() of every test calls it first.
void setUp();

// Removes the temporary folder unless CLIPWATCH_KEEP_TEST_DIR is set.
void tearDown();

// The process's temporary root folder.
QString root();

// A fresh empty folder below root(), named after `name`.
QString makeDir(const QString& name);

// Directory of the build tree (executables such as vexobase live below it).
QString buildDir();

// Checks `condition` every 20 ms, handling events between checks, until it holds or `ms` passed.
bool waitFor(const std::function<bool()>& condition, int ms);

// Reads the whole log file `<name>.log` of this process.
QString readLog(const QString& name);

} // namespace testenv
