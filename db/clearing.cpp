// Clearing errors and in-progress marks on SQLite and MySQL.
#include "db/clearing.h"

#include "db/statement_p.h"
#include "platform/qzlog.h"

namespace
{

const char* const noResponseMD5 =
    "UPDATE Clips SET MD5=NULL WHERE MD5='MD5 Not Created No Response from VexoBase';";

bool isOutput(const dbCwsElement& element)
{
    return element.kind == dbCwsElementKind::Output;
}

// "a, b, c" of the given codes.
std::string codeList(std::initializer_list<int> codes)
{
    std::string list;
    for (int code : codes)
        list += (list.empty() ? "" : ", ") + std::to_string(code);
    return list;
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
    if (mask & CWS_ELEMENT_MD5)
        for (const char* pattern :
             {"in progress", "lost process purged", "error%", "unable%", "%no response%"})
            statements.push_back(std::string("UPDATE Clips SET MD5=NULL WHERE lower(MD5) LIKE '") +
                                 pattern + "'");
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
    for (const dbCwsElement& element : dbCwsElements()) {
        if (!isOutput(element) && element.kind != dbCwsElementKind::Clip)
            continue;
        // An RTIN index in progress stays in progress.
        const std::string codes = element.code == CWS_ELEMENT_RTIN ? codeList({3, 4, 5, 6, 7})
                                                                   : codeList({2, 3, 4, 5, 6, 7});
        const std::string tag = "dbCWSClearInProgress-" + element.stateColumn + " ";
        dbCwsRun(handle, fcn,
                 "UPDATE Clips SET " + element.stateColumn + "=0 WHERE " + element.stateColumn +
                     " IN (" + codes + ");",
                 {}, tag.c_str());
    }
    dbCwsRun(handle, fcn,
             "UPDATE Clips SET MD5=NULL WHERE MD5 IN ('MD5 Not Created No Response from "
             "VexoBase', 'lost process', 'lost process purged');",
             {}, "dbCWSClearInProgress-MD5 ");
    return -1;
}

int dbCWSClearErrors(dbCwsHandle* handle, int state)
{
    const char* fcn = "dbCWSClearErrors";
    for (const dbCwsElement& element : dbCwsElements()) {
        if (!isOutput(element) && element.kind != dbCwsElementKind::Clip &&
            element.code != CWS_ELEMENT_WRAP)
            continue;
        dbCwsRun(handle, fcn,
                 "UPDATE Clips SET " + element.stateColumn + "=0 WHERE " + element.stateColumn +
                     "=?;",
                 {static_cast<long long>(state)});
    }
    dbCwsRun(handle, fcn,
             state == QZ_FINISHED ? "UPDATE Clips SET MD5=NULL WHERE MD5 IS NOT NULL;"
                                  : noResponseMD5);
    return -1;
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
    const char* fcn = "dbCWSClearInProgress";
    for (const Switch& step : switches) {
        if (!step.on)
            continue;
        if (logged)
            ErrOut("%s", step.logLine);
        const std::string& column = dbCwsFindElement(step.code)->stateColumn;
        dbCwsRun(handle, fcn, "UPDATE Clips SET " + column + "=0 WHERE " + column + "=2;");
    }
    if (md5) {
        if (logged)
            ErrOut("Clear-MD5 ");
        dbCwsRun(handle, fcn, noResponseMD5);
        dbCwsRun(handle, fcn, "UPDATE Clips SET MD5=NULL WHERE MD5='Error';");
    }
    if (logged)
        ErrOut("Clear-Done ");
    return -1;
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
