// Private to db/: running one statement on either kind of database and reading its rows.
// Values always take the place of "?" placeholders: bound on SQLite, written as literals that
// nothing in them can end on MySQL. Failures are logged the way each kind logs them and never
// thrown.
#pragma once

#include "db/connection.h"

#include <QSqlQuery>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rows of one statement of either kind, read forward from the first.
class dbCwsRows
{
public:
    dbCwsRows() = default; // a statement that failed
    explicit dbCwsRows(CSQLite3Query&& cursor);
    explicit dbCwsRows(QSqlQuery&& query);

    // True when the statement ran.
    bool ok() const { return ran; }
    // True when there is a current row.
    bool atRow() const;
    // Steps to the next row; a failure ends the rows.
    void next();
    // The named column of the current row; nothing for NULL or when there is no row.
    std::optional<std::string> text(const char* column) const;
    // The named column as an integer, `nullValue` for NULL or when there is no row.
    int integer(const char* column, int nullValue = 0) const;
    // The MySQL driver's last error text (empty on SQLite).
    std::string errorText() const;

private:
    bool ran = false;
    std::optional<CSQLite3Query> sqlite;
    std::optional<QSqlQuery> mysql;
};

// True when the handle is open on SQLite, or on MySQL.
bool dbCwsIsSQLite(const dbCwsHandle* handle);
bool dbCwsIsMySQL(const dbCwsHandle* handle);

// Runs `sql` on the handle's database (the calling thread's clone on MySQL) with `values`
// bound to its "?" placeholders in order. A failure is logged as the debug line
// "Err: %d, Msg: %s, Fcn: <fcn>" on SQLite, or `tag` (default: `fcn` and a blank) followed by
// the driver's text and `suffix` on MySQL, and gives rows that are not ok().
dbCwsRows dbCwsRun(dbCwsHandle* handle, const char* fcn, std::string_view sql,
                   const std::vector<CSQLite3Value>& values = {}, const char* tag = nullptr,
                   const std::string& suffix = std::string());

// A text value: NULL for a null pointer.
CSQLite3Value dbCwsText(const char* text);
// A text value that is never NULL.
inline CSQLite3Value dbCwsText(const std::string& text)
{
    return text;
}

// Copies `value` (empty for NULL) into `out` when `out` is given.
void dbCwsCopy(const std::optional<std::string>& value, std::string* out);
