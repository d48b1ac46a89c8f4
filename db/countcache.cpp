// The per-connection count cache on SQLite: its TEMP table and triggers, made from the count
// definitions, and the read that recounts when the file changed behind the connection's back.
#include "db/countcache.h"

#include "db/counting_p.h"
#include "db/statement_p.h"

#include <algorithm>
#include <optional>
#include <regex>

namespace
{

const char* const tables[] = {"Directories", "Clips"};

// Moves whenever another connection commits to the file or the file's schema changes; the
// connection's own writes leave it as it is.
const char* const stampNow = "(SELECT data_version FROM pragma_data_version) || '.' || "
                             "(SELECT schema_version FROM pragma_schema_version)";

std::string countColumn(size_t n)
{
    return "c" + std::to_string(n);
}

// The counts kept by `table`, as the indexes of their definitions.
std::vector<size_t> countsOf(const std::string& table)
{
    std::vector<size_t> counts;
    for (size_t n = 0; n < CWS_COUNT_KINDS; ++n)
        if (table == dbCwsCountDefinitions()[n].table)
            counts.push_back(n);
    return counts;
}

std::string createTable()
{
    std::string sql = "CREATE TEMP TABLE IF NOT EXISTS CwsCountCache(Stamp TEXT";
    for (size_t n = 0; n < CWS_COUNT_KINDS; ++n)
        sql += ", " + countColumn(n) + " INTEGER NOT NULL DEFAULT 0";
    return sql + ");";
}

// A row event of a table and what it does to the counts: adds the NEW row, takes off the OLD.
struct RowEvent {
    const char* name;    // part of the trigger's name
    const char* event;   // INSERT, DELETE or UPDATE (then only of the counted columns)
    const char* added;   // "NEW." or null
    const char* removed; // "OLD." or null
};

const RowEvent rowEvents[] = {
    {"Insert", "INSERT", "NEW.", nullptr},
    {"Delete", "DELETE", nullptr, "OLD."},
};

// The columns of the counts of `table` that read more than one column (the per-element sums).
// Rows are mostly added and removed with all of them NULL, and such a row counts nothing there.
std::vector<std::string> sparseColumns(const std::string& table)
{
    std::vector<std::string> columns;
    for (size_t n : countsOf(table)) {
        const std::vector<std::string> read = dbCwsCountColumns(dbCwsCountDefinitions()[n]);
        for (const std::string& column : read)
            if (read.size() > 1 &&
                std::find(columns.begin(), columns.end(), column) == columns.end())
                columns.push_back(column);
    }
    return columns;
}

bool readsAny(const std::vector<std::string>& read, const std::vector<std::string>& columns)
{
    for (const std::string& column : read)
        if (std::find(columns.begin(), columns.end(), column) != columns.end())
            return true;
    return false;
}

// The assignment that applies `rowEvent` to count `n`.
std::string assignment(size_t n, const RowEvent& rowEvent)
{
    const dbCwsCountDefinition& definition = dbCwsCountDefinitions()[n];
    std::string delta;
    if (rowEvent.added)
        delta += " + (" + dbCwsCountOfRow(definition, rowEvent.added) + ")";
    if (rowEvent.removed)
        delta += " - (" + dbCwsCountOfRow(definition, rowEvent.removed) + ")";
    return countColumn(n) + " = " + countColumn(n) + delta;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

std::string triggerName(const std::string& table, const char* rowEvent)
{
    return "CwsCount" + table + rowEvent;
}

std::string createTrigger(const std::string& table, const RowEvent& rowEvent)
{
    // An insert or delete changes the counts of the sparse columns only for a row that has one
    // of them set: the common row skips the per-element sums.
    const std::vector<std::string> sparse = sparseColumns(table);
    std::vector<std::string> dense, guarded;
    for (size_t n : countsOf(table)) {
        const std::vector<std::string> read = dbCwsCountColumns(dbCwsCountDefinitions()[n]);
        (readsAny(read, sparse) ? guarded : dense).push_back(assignment(n, rowEvent));
    }
    std::string body;
    if (!dense.empty())
        body += " UPDATE CwsCountCache SET " + joined(dense, ", ") + ";";
    if (!guarded.empty()) {
        std::vector<std::string> present;
        for (const std::string& column : sparse)
            present.push_back((rowEvent.added ? rowEvent.added : rowEvent.removed) + column +
                              " IS NOT NULL");
        body += " UPDATE CwsCountCache SET " + joined(guarded, ", ") + " WHERE " +
                joined(present, " OR ") + ";";
    }
    // Table names inside a trigger's body take no schema: CwsCountCache is found in temp.
    return "CREATE TEMP TRIGGER IF NOT EXISTS " + triggerName(table, rowEvent.name) + " AFTER " +
           rowEvent.event + " ON main." + table + " BEGIN" + body + " END;";
}

// The sets of columns that the conditions of `table`'s counts read, each once: one column per
// condition with these definitions.
std::vector<std::vector<std::string>> conditionColumnSets(const std::string& table)
{
    std::vector<std::vector<std::string>> sets;
    for (size_t n : countsOf(table))
        for (const std::string& condition : dbCwsCountDefinitions()[n].conditions) {
            const std::vector<std::string> read = dbCwsConditionColumns(condition);
            if (!read.empty() && std::find(sets.begin(), sets.end(), read) == sets.end())
                sets.push_back(read);
        }
    return sets;
}

std::string updateTriggerName(const std::string& table, const std::vector<std::string>& columns)
{
    return triggerName(table, ("Update" + joined(columns, "")).c_str());
}

// The update trigger of the conditions that read exactly `columns`: it fires only when one of
// them changes, and applies the change of those conditions alone. The common write, one state
// column of one clip, so runs a few terms instead of every count's. An update of several
// columns fires the trigger of each, and their changes add up to the row's.
std::string createUpdateTrigger(const std::string& table, const std::vector<std::string>& columns)
{
    std::vector<std::string> assignments, changed;
    for (size_t n : countsOf(table)) {
        dbCwsCountDefinition part = dbCwsCountDefinitions()[n];
        part.conditions.clear();
        for (const std::string& condition : dbCwsCountDefinitions()[n].conditions)
            if (dbCwsConditionColumns(condition) == columns)
                part.conditions.push_back(condition);
        if (!part.conditions.empty())
            assignments.push_back(countColumn(n) + " = " + countColumn(n) + " + (" +
                                  dbCwsCountOfRow(part, "NEW.") + ") - (" +
                                  dbCwsCountOfRow(part, "OLD.") + ")");
    }
    for (const std::string& column : columns)
        changed.push_back("OLD." + column + " IS NOT NEW." + column);
    return "CREATE TEMP TRIGGER IF NOT EXISTS " + updateTriggerName(table, columns) +
           " AFTER UPDATE OF " + joined(columns, ", ") + " ON main." + table + " WHEN " +
           joined(changed, " OR ") + " BEGIN UPDATE CwsCountCache SET " +
           joined(assignments, ", ") + "; END;";
}

// True when every condition of count `n` reads exactly one column.
bool readsOneColumnPerCondition(size_t n)
{
    for (const std::string& condition : dbCwsCountDefinitions()[n].conditions)
        if (dbCwsConditionColumns(condition).size() != 1)
            return false;
    return true;
}

// The state columns of the numbered elements, which most databases leave NULL throughout.
const std::vector<std::string>& rarelySetColumns()
{
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> list;
        for (const dbCwsElement& element : dbCwsElements())
            if (element.kind == dbCwsElementKind::Numbered)
                list.push_back(element.stateColumn);
        return list;
    }();
    return columns;
}

// A condition on one column as a test of its value: true for the listed values or, when
// `negated`, for every value but them; never for NULL.
struct ValueTest {
    std::vector<std::string> values;
    bool negated;
};

// `condition` as a ValueTest when it has one of the forms "$C=v OR $C=w ...", "NOT $C=v" and
// "$C IS NOT NULL AND $C <> v" (v a number or a quoted text); nothing for any other form.
std::optional<ValueTest> valueTest(const std::string& condition)
{
    static const std::string value = R"(('[^']*'|-?\d+))";
    static const std::regex equal(R"(^\$\w+\s*=\s*)" + value + "$");
    static const std::regex notEqual(
        R"(^(?:NOT \$\w+\s*=\s*|\$(\w+) IS NOT NULL AND \$\1\s*<>\s*))" + value + "$");
    std::smatch match;
    if (std::regex_match(condition, match, notEqual))
        return ValueTest{{match[2]}, true};
    ValueTest test{{}, false};
    for (size_t start = 0;;) {
        const size_t end = condition.find(" OR ", start);
        const std::string part = condition.substr(start, end - start);
        if (!std::regex_match(part, match, equal))
            return std::nullopt;
        test.values.push_back(match[1]);
        if (end == std::string::npos)
            return test;
        start = end + 4;
    }
}

// What one column adds to a packed sum: its value tests and its other conditions, each with
// its weight.
struct ColumnTerms {
    std::string column;
    std::vector<std::pair<ValueTest, long long>> tests;
    std::vector<std::pair<std::string, long long>> other;
};

void addTerm(ColumnTerms& terms, const std::string& condition, long long weight)
{
    if (const std::optional<ValueTest> test = valueTest(condition))
        terms.tests.emplace_back(*test, weight);
    else
        terms.other.emplace_back(dbCwsCountCondition(condition, ""), weight);
}

bool lists(const std::vector<std::string>& values, const std::string& value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

// The value tests of a column as one CASE on it, which reads it once: each value named by a
// test gives the weights of the tests it passes, any other value those of the negated tests.
std::string valueCases(const ColumnTerms& terms, long long& otherValues)
{
    std::vector<std::string> named;
    otherValues = 0;
    for (const auto& [test, weight] : terms.tests) {
        otherValues += test.negated ? weight : 0;
        for (const std::string& value : test.values)
            if (!lists(named, value))
                named.push_back(value);
    }
    std::string cases;
    for (const std::string& value : named) {
        long long weight = 0;
        for (const auto& [test, testWeight] : terms.tests)
            weight += lists(test.values, value) != test.negated ? testWeight : 0;
        if (weight != otherValues)
            cases += " WHEN " + value + " THEN " + std::to_string(weight);
    }
    if (cases.empty())
        return std::to_string(otherValues);
    return "(CASE " + terms.column + cases + " ELSE " + std::to_string(otherValues) + " END)";
}

// The column's share of a row: its value tests in one CASE and its other conditions each on
// their own. A NULL column adds 0 without them all being tried.
std::string columnShare(const ColumnTerms& terms)
{
    std::vector<std::string> parts;
    long long otherValues = 0;
    if (!terms.tests.empty())
        parts.push_back(valueCases(terms, otherValues));
    for (const auto& [condition, weight] : terms.other)
        parts.push_back("(CASE WHEN " + condition + " THEN " + std::to_string(weight) +
                        " ELSE 0 END)");
    if (terms.other.empty() && otherValues == 0)
        return parts.front();
    return "(CASE WHEN " + terms.column + " IS NULL THEN 0 ELSE " + joined(parts, " + ") + " END)";
}

// The sum over a table's rows of count `counts[0]` plus 2^32 times count `counts[1]` (when
// given), as a statement's expression. A NULL column satisfies no condition, and the rarely
// set columns are passed over together while all of them are NULL. Each count must read one
// column per condition; one below 2^31 (2^27 rows of 16 conditions) is kept exactly.
std::string packedSum(const std::vector<size_t>& counts)
{
    std::vector<ColumnTerms> byColumn;
    for (size_t k = 0; k < counts.size(); ++k) {
        const long long weight = k == 0 ? 1 : 4294967296LL;
        for (const std::string& condition : dbCwsCountDefinitions()[counts[k]].conditions) {
            const std::string column = dbCwsConditionColumns(condition).front();
            auto terms =
                std::find_if(byColumn.begin(), byColumn.end(), [&column](const ColumnTerms& entry) {
                    return entry.column == column;
                });
            if (terms == byColumn.end())
                terms = byColumn.insert(byColumn.end(), ColumnTerms{column, {}, {}});
            addTerm(*terms, condition, weight);
        }
    }
    std::vector<std::string> common, rare, rareColumns;
    for (const ColumnTerms& terms : byColumn) {
        const bool rarelySet = std::find(rarelySetColumns().begin(), rarelySetColumns().end(),
                                         terms.column) != rarelySetColumns().end();
        (rarelySet ? rare : common).push_back(columnShare(terms));
        if (rarelySet)
            rareColumns.push_back(terms.column);
    }
    if (rare.size() > 1)
        common.push_back("(CASE WHEN COALESCE(" + joined(rareColumns, ", ") +
                         ") IS NULL THEN 0 ELSE " + joined(rare, " + ") + " END)");
    else
        common.insert(common.end(), rare.begin(), rare.end());
    return "COALESCE(SUM(" + joined(common, " + ") + "), 0)";
}

// The expressions that recount `table`, one per count in countsOf(table) order. The counts
// whose conditions read one column each go two to a packed sum, which SQLite computes once for
// both of its expressions: far fewer steps per row than a COUNT per condition. A count of every
// row is a subquery of its own, which SQLite answers without stepping through the rows.
std::vector<std::string> recountExpressions(const std::string& table)
{
    const std::vector<size_t> counts = countsOf(table);
    std::vector<std::string> expressions(counts.size());
    std::vector<size_t> packed; // positions in `counts`
    for (size_t i = 0; i < counts.size(); ++i) {
        const dbCwsCountDefinition& definition = dbCwsCountDefinitions()[counts[i]];
        if (definition.conditions == std::vector<std::string>{""})
            expressions[i] = "(SELECT COUNT(*) FROM main." + table + ")";
        else if (readsOneColumnPerCondition(counts[i]))
            packed.push_back(i);
        else
            expressions[i] = dbCwsCountAggregate(definition);
    }
    for (size_t p = 0; p < packed.size(); p += 2) {
        if (p + 1 == packed.size()) {
            expressions[packed[p]] = packedSum({counts[packed[p]]});
            continue;
        }
        const std::string sum = packedSum({counts[packed[p]], counts[packed[p + 1]]});
        expressions[packed[p]] = sum + " % 4294967296";
        expressions[packed[p + 1]] = sum + " / 4294967296";
    }
    return expressions;
}

// Sets every count from a full scan of both tables and records `stamp`, in one statement, so
// that no write of another thread on the connection falls between the scans and the stamp.
std::string recountStatement()
{
    std::string sql = "UPDATE temp.CwsCountCache SET ";
    for (const char* table : tables) {
        std::vector<std::string> columns;
        for (size_t n : countsOf(table))
            columns.push_back(countColumn(n));
        sql += "(" + joined(columns, ", ") + ") = (SELECT " +
               joined(recountExpressions(table), ", ") + " FROM main." + table + "), ";
    }
    return sql + "Stamp = ?;";
}

std::string readStatement()
{
    std::string sql = std::string("SELECT ") + stampNow + " AS Now, Stamp";
    for (size_t n = 0; n < CWS_COUNT_KINDS; ++n)
        sql += ", " + countColumn(n);
    return sql + " FROM temp.CwsCountCache;";
}

// Reads the cache row into `counts` and gives the file's stamp now, with `current` set when
// the row was counted at that stamp. Nothing (and `counts` untouched) when it cannot be read.
std::optional<std::string> readCounts(dbCwsHandle* handle, dbCwsCounts& counts, bool& current)
{
    static const std::string sql = readStatement();
    const dbCwsRows rows = dbCwsRun(handle, "dbCWSGetAllCounts", sql);
    const std::optional<std::string> now = rows.text("Now");
    if (!now)
        return std::nullopt;
    current = rows.text("Stamp") == now;
    for (size_t n = 0; n < counts.size(); ++n)
        counts[n] = rows.integer(countColumn(n).c_str(), 0);
    return now;
}

} // namespace

bool dbCwsInstallCountCache(dbCwsHandle* handle, const char* fcn)
{
    bool installed = dbCwsRun(handle, fcn, "PRAGMA recursive_triggers=ON;").ok() &&
                     dbCwsRun(handle, fcn, createTable()).ok() &&
                     dbCwsRun(handle, fcn,
                              "INSERT INTO temp.CwsCountCache (Stamp) SELECT NULL WHERE NOT "
                              "EXISTS (SELECT 1 FROM temp.CwsCountCache);")
                         .ok();
    for (const char* table : tables) {
        for (const RowEvent& rowEvent : rowEvents)
            installed = installed && dbCwsRun(handle, fcn, createTrigger(table, rowEvent)).ok();
        for (const std::vector<std::string>& columns : conditionColumnSets(table))
            installed =
                installed && dbCwsRun(handle, fcn, createUpdateTrigger(table, columns)).ok();
    }
    return installed;
}

bool dbCwsReadCountCache(dbCwsHandle* handle, dbCwsCounts& counts)
{
    dbCwsCounts cached{};
    bool current = false;
    const std::optional<std::string> stamp = readCounts(handle, cached, current);
    if (!stamp)
        return false;
    if (!current) {
        // Triggers first, then the recount: a write in between is then counted by the recount.
        // A commit of another connection after the recount is seen by the next read.
        static const std::string recount = recountStatement();
        if (!dbCwsInstallCountCache(handle, "dbCWSGetAllCounts") ||
            !dbCwsRun(handle, "dbCWSGetAllCounts", recount, {*stamp}).ok() ||
            !readCounts(handle, cached, current))
            return false;
    }
    counts = cached;
    return true;
}

void dbCwsUpdateClips(dbCwsHandle* handle, const char* fcn, bool most,
                      const std::function<void()>& write)
{
    dbCwsCounts unused{};
    bool current = true;
    if (!dbCwsIsSQLite(handle) ||
        !dbCwsRun(handle, fcn,
                  "SELECT 1 FROM temp.sqlite_master WHERE name='CwsCountCache' AND type='table';")
             .atRow() ||
        !readCounts(handle, unused, current) || (current && !most)) {
        write();
        return;
    }
    // No transaction, so that a caller inside one of its own never waits for itself: the order
    // keeps the counts right. The trigger goes before the stamp is emptied, so a write of
    // another thread in between is recounted, a read in between that recounts puts the trigger
    // back for `write`, and a read afterwards recounts.
    for (const std::vector<std::string>& columns : conditionColumnSets("Clips"))
        dbCwsRun(handle, fcn,
                 "DROP TRIGGER IF EXISTS temp." + updateTriggerName("Clips", columns) + ";");
    dbCwsRun(handle, fcn, "UPDATE temp.CwsCountCache SET Stamp=NULL;");
    write();
    dbCwsReadCountCache(handle, unused);
}
