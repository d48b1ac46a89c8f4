// The private MariaDB server of the benchmarks (scripts/mariadb.sh, 127.0.0.1:3306) and its
// test account; a benchmark that needs it skips its MySQL part when no server answers.
#pragma once

#include <QString>

#include <string>

namespace benchmysql
{
QString user();     // CLIPWATCH_MARIADB_USER, else "clipwatch"
QString password(); // CLIPWATCH_MARIADB_PASSWORD, else "clipwatch"
QString host();     // 127.0.0.1
// Empty when the server answers, else the driver's text.
std::string problem();
// Drops database `name` when it exists.
void drop(const QString& name);
} // namespace benchmysql
