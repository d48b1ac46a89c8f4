// Counting queries on SQLite and MySQL. Every count is defined once, as a table and a list of
// conditions whose COUNT(*)s add up; the single operations run one statement per condition,
// dbCWSGetAllCounts reads the SQLite connection's count cache or folds every count into one
// scan per table.
#include "db/counting.h"

#include "db/countcache.h"
#include "db/counting_p.h"
#include "db/statement_p.h"

#include <algorithm>
#include <cctype>

namespace
{

// One condition per output and numbered element, made by `of` from its state column, with the
// MD5 condition (when given) after the output elements.
std::vector<std::string> elementConditions(std::string (*of)(const std::string&), const char* md5)
{
    std::vector<std::string> conditions;
    for (const dbCwsElement& element : dbCwsElements()) {
        if (element.kind == dbCwsElementKind::Numbered && element.code == CWS_ELEMENT_NUMBERED0 &&
            md5)
            conditions.push_back(md5);
        if (element.kind == dbCwsElementKind::Output || element.kind == dbCwsElementKind::Numbered)
            conditions.push_back(of("$" + element.stateColumn));
    }
    return conditions;
}

std::string finished(const std::string& column)
{
    return column + "=1";
}

std::string failed(const std::string& column)
{
    return column + "=4 OR " + column + "=5";
}

std::string running(const std::string& column)
{
    return column + "=2";
}

bool hasDatabase(const dbCwsHandle* handle)
{
    return dbCwsIsSQLite(handle) || dbCwsIsMySQL(handle);
}

int countOf(dbCwsHandle* handle, dbCwsCount which)
{
    const dbCwsCountDefinition& definition = dbCwsCountDefinitions()[which];
    if (!hasDatabase(handle))
        return definition.missing;
    int total = 0;
    for (const std::string& condition : definition.conditions) {
        std::string sql = std::string("SELECT COUNT(*) FROM ") + definition.table;
        if (!condition.empty())
            sql += " WHERE " + dbCwsCountCondition(condition, "");
        total += dbCwsRun(handle, definition.fcn, sql).integer("COUNT(*)", 0);
    }
    return total;
}

// One SELECT over `table` with a column "c<N>" for each count N of that table.
void countTable(dbCwsHandle* handle, const char* table, dbCwsCounts& counts)
{
    std::string columns;
    std::vector<size_t> which;
    for (size_t n = 0; n < counts.size(); ++n) {
        const dbCwsCountDefinition& definition = dbCwsCountDefinitions()[n];
        if (std::string(definition.table) != table)
            continue;
        columns += (columns.empty() ? "" : ", ") + dbCwsCountAggregate(definition) + " AS c" +
                   std::to_string(n);
        which.push_back(n);
    }
    const dbCwsRows rows =
        dbCwsRun(handle, "dbCWSGetAllCounts", "SELECT " + columns + " FROM " + table);
    for (size_t n : which)
        counts[n] = rows.integer(("c" + std::to_string(n)).c_str(), 0);
}

} // namespace

const std::array<dbCwsCountDefinition, CWS_COUNT_KINDS>& dbCwsCountDefinitions()
{
    static const std::array<dbCwsCountDefinition, CWS_COUNT_KINDS> table{{
        {"dbCWSGetDirectoryCount", "Directories", {""}, -1},
        {"dbCWSGetSearchedCount", "Directories", {"$Checked=1"}, -1},
        {"dbCWSGetDirectoryErrorCount", "Directories", {"$Checked=2 OR $Checked=4"}, -1},
        {"dbCWSGetFileCount", "Clips", {""}, -1},
        {"dbCWSGetCompletedCount", "Clips", {"$Complete=1"}, -1},
        {"dbCWSGetRemainingCount", "Clips", {"NOT $Complete=1"}, -1},
        {"dbCWSGetWaitingCount", "Clips", {"$Complete=0"}, -1},
        {"dbCWSGetErrorCount", "Clips", {"$Complete=4 OR $Complete=5"}, -1},
        {"dbCWSGetMD5ProcessesInProgress", "Clips", {"$MD5 = 'in progress'"}, 0},
        {"dbCWSGetProcessesCompleted", "Clips",
         elementConditions(finished, "$MD5 IS NOT NULL AND $MD5 <> 'in progress'"), 0},
        {"dbCWSGetProcessesErrored", "Clips", elementConditions(failed, "$MD5 = 'Error'"), 0},
        {"dbCWSGetProcessesInProgress", "Clips", elementConditions(running, nullptr), 0},
    }};
    return table;
}

std::string dbCwsCountCondition(const std::string& condition, const std::string& row)
{
    std::string text;
    for (char c : condition)
        text += c == '$' ? row : std::string(1, c);
    return text;
}

std::string dbCwsCountAggregate(const dbCwsCountDefinition& definition)
{
    std::string sum;
    for (const std::string& condition : definition.conditions)
        sum += (sum.empty() ? "" : " + ") +
               (condition.empty()
                    ? std::string("COUNT(*)")
                    : "COUNT(CASE WHEN " + dbCwsCountCondition(condition, "") + " THEN 1 END)");
    return sum;
}

std::string dbCwsCountOfRow(const dbCwsCountDefinition& definition, const std::string& row)
{
    std::string sum;
    for (const std::string& condition : definition.conditions)
        sum += (sum.empty() ? "" : " + ") +
               (condition.empty()
                    ? std::string("1")
                    : "(CASE WHEN " + dbCwsCountCondition(condition, row) + " THEN 1 ELSE 0 END)");
    return sum;
}

std::vector<std::string> dbCwsConditionColumns(const std::string& condition)
{
    std::vector<std::string> columns;
    for (size_t mark = condition.find('$'); mark != std::string::npos;
         mark = condition.find('$', mark + 1)) {
        size_t end = mark + 1;
        while (end < condition.size() && std::isalnum(static_cast<unsigned char>(condition[end])))
            ++end;
        const std::string column = condition.substr(mark + 1, end - mark - 1);
        if (std::find(columns.begin(), columns.end(), column) == columns.end())
            columns.push_back(column);
    }
    return columns;
}

std::vector<std::string> dbCwsCountColumns(const dbCwsCountDefinition& definition)
{
    std::vector<std::string> columns;
    for (const std::string& condition : definition.conditions)
        for (const std::string& column : dbCwsConditionColumns(condition))
            if (std::find(columns.begin(), columns.end(), column) == columns.end())
                columns.push_back(column);
    return columns;
}

int dbCWSGetAllCounts(dbCwsHandle* handle, dbCwsCounts& counts)
{
    if (!hasDatabase(handle)) {
        for (size_t n = 0; n < counts.size(); ++n)
            counts[n] = dbCwsCountDefinitions()[n].missing;
        return -1;
    }
    if (dbCwsIsSQLite(handle) && dbCwsReadCountCache(handle, counts))
        return 0;
    countTable(handle, "Directories", counts);
    countTable(handle, "Clips", counts);
    return 0;
}
int dbCWSGetDirectoryCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_DIRECTORIES);
}

int dbCWSGetSearchedCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_SEARCHED);
}

int dbCWSGetDirectoryErrorCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_DIRECTORY_ERRORS);
}

int dbCWSGetFileCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_FILES);
}

int dbCWSGetCompletedCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_COMPLETED);
}

int dbCWSGetRemainingCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_REMAINING);
}

int dbCWSGetWaitingCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_WAITING);
}

int dbCWSGetErrorCount(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_ERRORS);
}

int dbCWSGetMD5ProcessesInProgress(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_MD5_IN_PROGRESS);
}

int dbCWSGetProcessesCompleted(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_PROCESSES_COMPLETED);
}

int dbCWSGetProcessesErrored(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_PROCESSES_ERRORED);
}

int dbCWSGetProcessesInProgress(dbCwsHandle* handle)
{
    return countOf(handle, CWS_COUNT_PROCESSES_IN_PROGRESS);
}

dbCwsCounts dbCWSGetSingleCounts(dbCwsHandle* handle)
{
    using Single = int (*)(dbCwsHandle*);
    static const Single singles[CWS_COUNT_KINDS] = {
        dbCWSGetDirectoryCount,     dbCWSGetSearchedCount,    dbCWSGetDirectoryErrorCount,
        dbCWSGetFileCount,          dbCWSGetCompletedCount,   dbCWSGetRemainingCount,
        dbCWSGetWaitingCount,       dbCWSGetErrorCount,       dbCWSGetMD5ProcessesInProgress,
        dbCWSGetProcessesCompleted, dbCWSGetProcessesErrored, dbCWSGetProcessesInProgress};
    dbCwsCounts counts{};
    for (size_t n = 0; n < counts.size(); ++n)
        counts[n] = singles[n](handle);
    return counts;
}
