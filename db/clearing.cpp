// Clearing errors and in-progress marks on SQLite and MySQL.
#include "db/clearing.h"

#include "db/countcache.h"
#include "db/statement_p.h"
#include "platform/qzlog.h"

namespace
{

const char* const noResponseMD5Text = "'MD5 Not Created No Response from VexoBase'";

bool isOutput(const dbCwsElement& element)
{
    return element.kind == dbCwsElementKind::Output;
}

// The elements whose states the clearing of errors and processes puts back: the clip, the
// output elements and, when `wrap`, the wrap element.
bool isClearedElement(const dbCwsElement& element, bool wrap)
{
    return isOutput(element) || element.kind == dbCwsElementKind::Clip ||
           (wrap && element.code == CWS_ELEMENT_WRAP);
}

// "a, b, c" of the given codes.
std::string codeList(std::initializer_list<int> codes)
{
    std::string list;
    for (int code : codes)
        list += (list.empty() ? "" : ", ") + std::to_string(code);
    return list;
}

// A column that a one-pass clearing sets to `value` on the rows where `match` holds. `match`
// reads this column only, so the order of the assignments never matters (MySQL assigns left
// to right and lets later ones see earlier results).
struct ColumnReset {
    std::string column;
    std::string match;
    const char* value;
};

ColumnReset stateReset(const dbCwsElement& element, const std::string& codes)
{
    return {element.stateColumn, element.stateColumn + " IN (" + codes + ")", "0"};
}

ColumnReset md5Reset(const std::string& match)
{
    return {"MD5", match, "NULL"};
}

// How many clips a clearing is expected to change.
enum class Reach { Some, Most };

// Applies every reset in one UPDATE, one pass over Clips, touching only the rows that change.
void resetClips(dbCwsHandle* handle, const char* fcn, const std::vector<ColumnReset>& resets,
                Reach reach = Reach::Some, const char* tag = nullptr)
{
    std::string assignments, matches;
    for (const ColumnReset& reset : resets) {
        assignments += (assignments.empty() ? "" : ", ") + reset.column + "=CASE WHEN " +
                       reset.match + " THEN " + reset.value + " ELSE " + reset.column + " END";
        matches += (matches.empty() ? "(" : " OR (") + reset.match + ")";
    }
    const std::string sql = "UPDATE Clips SET " + assignments + " WHERE " + matches + ";";
    dbCwsUpdateClips(handle, fcn, reach == Reach::Most,
                     [&] { dbCwsRun(handle, fcn, sql, {}, tag); });
}

// The states `codes` of the clip, the output elements and the wrap element back to 0, and the
// MD5 texts that `md5` matches forgotten.
void clearStates(dbCwsHandle* handle, const char* fcn, const std::string& codes,
                 const std::string& md5, Reach reach)
{
    std::vector<ColumnReset> resets;
    for (const dbCwsElement& element : dbCwsElements())
        if (isClearedElement(element, true))
            resets.push_back(stateReset(element, codes));
    resets.push_back(md5Reset(md5));
    resetClips(handle, fcn, resets, reach);
}

// Sets the path, state and error columns of `element` to NULL where `condition` holds.
std::string emptyElement(const dbCwsElement& element, const std::string& condition)
{
    return "UPDATE Clips SET " + element.pathColumn + "=NULL, " + element.stateColumn + "=NULL, " +
           element.errorColumn + "=NULL WHERE " + condition;
}

void clearInProgressSQLite(dbCwsHandle* handle, unsigned mask)
{
    const char* fcn = "dbCWSClearInProgress";
    for (const dbCwsElement& element : dbCwsElements()) {
        if (!(mask & element.code) || !(isOutput(element) || element.code == CWS_ELEMENT_WRAP))
            continue;
        dbCwsRun(handle, fcn, emptyElement(element, element.pathColumn + " LIKE 'Progress%'"));
        dbCwsRun(handle, fcn, emptyElement(element, element.stateColumn + "=2"));
    }
    if (!(mask & CWS_ELEMENT_MD5))
        return;
    for (const char* pattern : {"in progress%", "lost process purged", "error%", "unable%"})
        dbCwsRun(handle, fcn, "UPDATE Clips SET MD5=NULL WHERE lower(MD5) LIKE ?", {pattern});
}

// The MySQL MD5 texts of a checksum that failed or was lost, as lower-case LIKE patterns.
const char* const failedMD5Patterns[] = {"lost process purged", "error%", "unable%",
                                         "%no response%"};

int clearInProgressMySQL(dbCwsHandle* handle, unsigned mask)
{
    const char* fcn = "dbCWSClearInProgress";
    std::vector<std::string> statements;
    for (const dbCwsElement& element : dbCwsElements()) {
        if (!(mask & element.code))
            continue;
        if (element.kind == dbCwsElementKind::Clip)
            statements.push_back("UPDATE Clips SET Complete=NULL WHERE Complete=2");
        if (!isOutput(element) && element.code != CWS_ELEMENT_WRAP)
            continue;
        const bool openEnded =
            element.code != CWS_ELEMENT_PROXY && element.code != CWS_ELEMENT_MEZZANINE;
        const std::string lowerPath = "lower(" + element.pathColumn + ") LIKE ";
        statements.push_back(emptyElement(element, element.stateColumn + "=2"));
        statements.push_back(emptyElement(element, lowerPath + "'progress%'"));
        statements.push_back(
            emptyElement(element, lowerPath + (openEnded ? "'%no response%'" : "'%no response'")));
    }
    if (mask & CWS_ELEMENT_MD5) {
        statements.push_back("UPDATE Clips SET MD5=NULL WHERE lower(MD5) LIKE 'in progress'");
        for (const char* pattern : failedMD5Patterns)
            statements.push_back(std::string("UPDATE Clips SET MD5=NULL WHERE lower(MD5) LIKE '") +
                                 pattern + "'");
    }
    int result = 0;
    for (const std::string& statement : statements)
        if (!dbCwsRun(handle, fcn, statement).ok())
            result = -1;
    return result;
}

} // namespace

int dbCWSClearAllErrors(dbCwsHandle* handle)
{
    const char* fcn = "dbCWSClearAllErrors";
    dbCwsRun(handle, fcn, "UPDATE Directories SET Checked=0 WHERE Checked IN (2, 4, 5, 7);", {},
             "dbCWSClearAllErrors-Directories ");
    std::vector<ColumnReset> resets;
    for (const dbCwsElement& element : dbCwsElements())
        if (isClearedElement(element, false))
            // An RTIN index in progress stays in progress.
            resets.push_back(stateReset(element, element.code == CWS_ELEMENT_RTIN
                                                     ? codeList({3, 4, 5, 6, 7})
                                                     : codeList({2, 3, 4, 5, 6, 7})));
    resets.push_back(md5Reset(std::string("MD5 IN (") + noResponseMD5Text +
                              ", 'lost process', 'lost process purged')"));
    resetClips(handle, fcn, resets, Reach::Some, "dbCWSClearAllErrors-Clips ");
    return -1;
}

int dbCWSClearErrors(dbCwsHandle* handle, int state)
{
    clearStates(handle, "dbCWSClearErrors", std::to_string(state),
                state == QZ_FINISHED ? "MD5 IS NOT NULL" : std::string("MD5=") + noResponseMD5Text,
                Reach::Some);
    return -1;
}

int dbCWSClearProcesses(dbCwsHandle* handle)
{
    clearStates(handle, "dbCWSClearProcesses",
                codeList({QZ_FINISHED, QZ_IN_PROGRESS, QZ_WAIT_PROCESS, QZ_ERROR, QZ_NETWORK_ERROR,
                          QZ_FOUND_FILE, QZ_LOST_PROCESS}),
                "MD5 IS NOT NULL", Reach::Most);
    return -1;
}

void dbCWSClearFailedMD5s(dbCwsHandle* handle)
{
    for (const char* pattern : failedMD5Patterns)
        dbCwsRun(handle, "dbCWSClearFailedMD5s",
                 "UPDATE Clips SET MD5=NULL WHERE lower(MD5) LIKE ?", {pattern});
}

int dbCWSClearInProgress(dbCwsHandle* handle, unsigned mask)
{
    if (dbCwsIsMySQL(handle))
        return clearInProgressMySQL(handle, mask);
    if (dbCwsIsSQLite(handle))
        clearInProgressSQLite(handle, mask);
    return 0;
}

int dbCWSClearRunning(dbCwsHandle* handle, bool picon, bool xmp, bool proxy, bool mezzanine,
                      bool rtin, bool md5, bool element9)
{
    struct Switch {
        bool on;
        unsigned code;
        const char* logLine; // MySQL only
    };
    const Switch switches[] = {
        {true, CWS_ELEMENT_CLIP, "Clear-Complete "},
        {picon, CWS_ELEMENT_PICON, "Clear-Picon "},
        {xmp, CWS_ELEMENT_XMP, "Clear-XMP "},
        {proxy, CWS_ELEMENT_PROXY, "Clear-Proxy "},
        {mezzanine, CWS_ELEMENT_MEZZANINE, "Clear-Mezzanine "},
        {rtin, CWS_ELEMENT_RTIN, "Clear-RTIN "},
        {element9, CWS_ELEMENT_WRAP, "Clear-Element9 "},
    };
    const bool logged = dbCwsIsMySQL(handle);
    std::vector<ColumnReset> resets;
    for (const Switch& step : switches) {
        if (!step.on)
            continue;
        if (logged)
            ErrOut("%s", step.logLine);
        resets.push_back(stateReset(*dbCwsFindElement(step.code), "2"));
    }
    if (md5) {
        if (logged)
            ErrOut("Clear-MD5 ");
        resets.push_back(md5Reset(std::string("MD5 IN (") + noResponseMD5Text + ", 'Error')"));
    }
    resetClips(handle, "dbCWSClearInProgress", resets);
    if (logged)
        ErrOut("Clear-Done ");
    return -1;
}

int dbCWSMoveClipStates(dbCwsHandle* handle, int from, int to)
{
    // The inner table is read in full before the update: MySQL refuses an update that reads
    // its own table otherwise.
    return dbCwsRun(handle, "dbCWSSetElementStatus-complete",
                    "UPDATE Clips SET Complete=? WHERE AnchorPath IN (SELECT AnchorPath FROM "
                    "(SELECT AnchorPath FROM Clips WHERE Complete=?) AS Moved);",
                    {static_cast<long long>(to), static_cast<long long>(from)})
                   .ok()
               ? 0
               : -1;
}

int dwCWSCheckDatabase(dbCwsHandle* handle)
{
    struct Column {
        const char* table;
        const char* key;
        std::string state;
    };
    std::vector<Column> columns{{"Directories", "Directory", "Checked"}};
    for (const dbCwsElement& element : dbCwsElements())
        if (isOutput(element) || element.kind == dbCwsElementKind::Clip)
            columns.push_back({"Clips", "AnchorPath", element.stateColumn});
    const char* fcn = "dwCWSCheckDatabase";
    for (const Column& column : columns) {
        // The keys are read first, so a row whose update fails is passed over, not retried.
        std::vector<std::string> keys;
        for (dbCwsRows rows = dbCwsRun(handle, fcn,
                                       std::string("SELECT ") + column.key + " FROM " +
                                           column.table + " WHERE " + column.state + "=2");
             rows.atRow(); rows.next())
            keys.push_back(rows.text(column.key).value_or(std::string()));
        for (const std::string& key : keys)
            dbCwsRun(handle, fcn,
                     std::string("UPDATE ") + column.table + " SET " + column.state + "=? WHERE " +
                         column.key + "=?",
                     {static_cast<long long>(QZ_ERROR), key});
    }
    return -1;
}
