// Running one statement on SQLite or MySQL with bound values, and reading its rows.
#include "db/statement_p.h"

#include <QSqlError>
#include <QStringList>
#include <QVariant>
#include <QtDebug>

#include <algorithm>

dbCwsRows::dbCwsRows(CSQLite3Query&& cursor) : ran(true), sqlite(std::move(cursor)) {}

dbCwsRows::dbCwsRows(QSqlQuery&& query) : ran(true), mysql(std::move(query))
{
    mysql->next();
}

bool dbCwsRows::atRow() const
{
    if (sqlite)
        return !sqlite->eof();
    return mysql && mysql->isValid();
}

void dbCwsRows::next()
{
    if (mysql) {
        mysql->next();
        return;
    }
    if (!sqlite || sqlite->eof())
        return;
    try {
        sqlite->nextRow();
    } catch (const CSQLite3Exception& failure) {
        qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(), "nextRow");
    }
}

std::optional<std::string> dbCwsRows::text(const char* column) const
{
    if (!atRow())
        return std::nullopt;
    if (mysql) {
        const QVariant value = mysql->value(QString::fromLatin1(column));
        if (value.isNull())
            return std::nullopt;
        return value.toString().toUtf8().toStdString();
    }
    try {
        const char* value = sqlite->fieldValue(column);
        if (!value)
            return std::nullopt;
        return std::string(value);
    } catch (const CSQLite3Exception&) {
        return std::nullopt;
    }
}

int dbCwsRows::integer(const char* column, int nullValue) const
{
    if (!atRow())
        return nullValue;
    if (mysql) {
        const QVariant value = mysql->value(QString::fromLatin1(column));
        return value.isNull() ? nullValue : value.toInt();
    }
    try {
        return sqlite->getIntField(column, nullValue);
    } catch (const CSQLite3Exception&) {
        return nullValue;
    }
}

std::string dbCwsRows::errorText() const
{
    return mysql ? mysql->lastError().text().toUtf8().toStdString() : std::string();
}

bool dbCwsIsSQLite(const dbCwsHandle* handle)
{
    return handle && handle->kind == CWS_DB_SQLITE && handle->sqlite;
}

bool dbCwsIsMySQL(const dbCwsHandle* handle)
{
    return handle && handle->kind == CWS_DB_MYSQL;
}

namespace
{

dbCwsRows runSQLite(dbCwsHandle* handle, const char* fcn, std::string_view sql,
                    const std::vector<CSQLite3Value>& values)
{
    try {
        return dbCwsRows(handle->sqlite->execQuery(sql, values));
    } catch (const CSQLite3Exception& failure) {
        qDebug("Err: %d, Msg: %s, Fcn: %s", failure.errorCode(), failure.errorMessage(), fcn);
        return dbCwsRows();
    }
}

// Appends `value` as a literal: a number as it is, a text as a hex literal in the connection's
// character set (nothing in it can end the literal or depend on the server's SQL mode), NULL
// as NULL.
void appendLiteral(std::string& out, const CSQLite3Value& value)
{
    if (const auto* number = std::get_if<long long>(&value)) {
        out += std::to_string(*number);
        return;
    }
    const auto* text = std::get_if<std::string>(&value);
    if (!text) {
        out += "NULL";
        return;
    }
    if (text->empty()) {
        out += "''";
        return;
    }
    // Bytes that are not UTF-8 become U+FFFD, as in any text handed to the driver.
    const bool ascii = std::all_of(text->begin(), text->end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string utf8 = ascii ? std::string()
                                   : QString::fromUtf8(text->data(), static_cast<int>(text->size()))
                                         .toUtf8()
                                         .toStdString();
    static const char digits[] = "0123456789ABCDEF";
    out += "_utf8mb4 X'";
    for (const unsigned char byte : ascii ? *text : utf8) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    out += '\'';
}

// `sql` with each "?" outside quotes replaced by the next of `values` as a literal: MySQL then
// runs it in one round trip, where Qt's prepared statement costs three and a close. Nothing
// when the counts differ.
std::optional<std::string> withLiterals(std::string_view sql,
                                        const std::vector<CSQLite3Value>& values)
{
    std::string out;
    out.reserve(sql.size() + values.size() * 64);
    size_t next = 0;
    char quote = 0;
    for (const char c : sql) {
        if (quote) {
            quote = c == quote ? 0 : quote;
        } else if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '?') {
            if (next == values.size())
                return std::nullopt;
            appendLiteral(out, values[next++]);
            continue;
        }
        out += c;
    }
    if (next != values.size())
        return std::nullopt;
    return out;
}

// Client error codes of a server that cannot be reached or went away mid-statement, and the
// deadlock, which rolls back the whole transaction of a write batch.
bool isConnectionLost(const QSqlDatabase& database, const QSqlError& error)
{
    static const QStringList lostCodes{"2002", "2003", "2006", "2013", "1213"};
    return !database.isOpen() || lostCodes.contains(error.nativeErrorCode());
}

dbCwsRows runMySQL(dbCwsHandle* handle, const char* fcn, std::string_view sql,
                   const std::vector<CSQLite3Value>& values, const char* tag,
                   const std::string& suffix)
{
    const QSqlDatabase database = dbCWSGetThreadDatabase(handle->connectionName);
    QSqlQuery query(database);
    query.setForwardOnly(true);
    const std::optional<std::string> text = withLiterals(sql, values);
    if (!text) {
        qDebug("%s: %zu values do not fit the statement", fcn, values.size());
        return dbCwsRows();
    }
    const bool done = query.exec(QString::fromUtf8(text->data(), static_cast<int>(text->size())));
    if (!done) {
        const std::string prefix = tag ? std::string(tag) : std::string(fcn) + " ";
        qDebug("%s%s%s", prefix.c_str(), query.lastError().text().toUtf8().constData(),
               suffix.c_str());
        if (isConnectionLost(database, query.lastError()))
            ++handle->lostStatements;
        return dbCwsRows();
    }
    return dbCwsRows(std::move(query));
}

} // namespace

dbCwsRows dbCwsRun(dbCwsHandle* handle, const char* fcn, std::string_view sql,
                   const std::vector<CSQLite3Value>& values, const char* tag,
                   const std::string& suffix)
{
    if (dbCwsIsSQLite(handle))
        return runSQLite(handle, fcn, sql, values);
    if (dbCwsIsMySQL(handle))
        return runMySQL(handle, fcn, sql, values, tag, suffix);
    return dbCwsRows();
}

CSQLite3Value dbCwsText(const char* text)
{
    if (!text)
        return std::monostate();
    return std::string(text);
}

void dbCwsCopy(const std::optional<std::string>& value, std::string* out)
{
    if (out)
        *out = value.value_or(std::string());
}
