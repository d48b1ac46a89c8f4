// Running one statement on SQLite or MySQL with bound values, and reading its rows.
#include "db/statement_p.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QStringList>
#include <QVariant>
#include <QtDebug>

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

// `value` as a literal of the connection: NULL, a number, or text escaped by the client library
// for the connection's character set and SQL mode.
QByteArray mysqlLiteral(const QSqlDatabase& database, const CSQLite3Value& value)
{
    if (const auto* number = std::get_if<long long>(&value))
        return QByteArray::number(*number);
    const auto* text = std::get_if<std::string>(&value);
    if (!text)
        return "NULL";
    QSqlField field(QString(), QVariant::ByteArray);
    field.setValue(QByteArray(text->data(), static_cast<int>(text->size())));
    return database.driver()->formatValue(field).toUtf8();
}

// `sql` with its "?" placeholders outside quoted text replaced by `values` in order. Such a
// statement takes one round trip to the server, where a prepared one takes two and the server
// keeps it until it is closed: the scan runs several statements per clip.
QString withLiterals(const QSqlDatabase& database, std::string_view sql,
                     const std::vector<CSQLite3Value>& values)
{
    QByteArray statement;
    statement.reserve(static_cast<int>(sql.size()) + 64);
    size_t next = 0;
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (!quote && c == '?' && next < values.size()) {
            statement += mysqlLiteral(database, values[next++]);
            continue;
        }
        statement += c;
        if (quote && c == '\\' && i + 1 < sql.size())
            statement += sql[++i];
        else if (quote && c == quote)
            quote = 0;
        else if (!quote && (c == '\'' || c == '"' || c == '`'))
            quote = c;
    }
    return QString::fromUtf8(statement);
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
    if (!query.exec(withLiterals(database, sql, values))) {
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
