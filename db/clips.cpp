// Clip records on SQLite and MySQL.
#include "db/clips.h"

#include "db/claims_p.h"
#include "db/clipbatch.h"
#include "db/clips_p.h"
#include "db/statement_p.h"
#include "platform/qzlog.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <utility>

namespace
{

// The output elements of the MySQL work query, in the order the query names their state
// columns. An element is work while its state is NULL (never tried) or 0 (put back by a
// clearing operation).
const unsigned workElements[] = {CWS_ELEMENT_PICON, CWS_ELEMENT_PROXY, CWS_ELEMENT_MEZZANINE,
                                 CWS_ELEMENT_XMP, CWS_ELEMENT_RTIN};

const char* const notReported = "Error:  Not reported from operation";

bool hasDatabase(const dbCwsHandle* handle)
{
    return dbCwsIsSQLite(handle) || dbCwsIsMySQL(handle);
}

void fillSlot(const dbCwsRows& rows, dbCwsClipSlot& slot, bool withId)
{
    if (withId)
        slot.id = rows.integer("ID", -1);
    slot.clipName = rows.text("ClipName").value_or(std::string());
    slot.anchorPath = rows.text("AnchorPath").value_or(std::string());
    slot.sourceDir = rows.text("SourceDir").value_or(std::string());
    slot.complete = rows.integer("Complete", 0);
}

void emptySlotTexts(dbCwsClipSlot& slot)
{
    slot.clipName.clear();
    slot.anchorPath.clear();
    slot.sourceDir.clear();
}

// SQLite batches hand out the first qualifying clip only.
int firstClipIntoSlot(dbCwsHandle* handle, const char* fcn, const std::string& sql,
                      std::vector<dbCwsClipSlot>& slots, bool withId)
{
    const dbCwsRows rows = dbCwsRun(handle, fcn, sql);
    if (!rows.atRow()) {
        if (!slots.empty())
            emptySlotTexts(slots[0]);
        return -1;
    }
    if (!slots.empty())
        fillSlot(rows, slots[0], withId);
    return 0;
}

long long numberOf(const dbCwsRows& rows, const char* column)
{
    const std::optional<std::string> text = rows.text(column);
    return text ? std::strtoll(text->c_str(), nullptr, 10) : -1;
}

std::string limitText(int limit, const std::vector<dbCwsClipSlot>& slots)
{
    const long long bounded = std::min<long long>(std::max(limit, 0), slots.size());
    return std::to_string(bounded);
}

// Reads the clips of the MySQL work query `condition`, at most `limit`, into `read`. On a shared
// catalogue the clips are claimed for this host as they are read, and those of other hosts are
// left out; when the claims do not commit, the slots are emptied again.
void readWork(dbCwsHandle* handle, const char* fcn, const std::string& condition,
              const std::string& limit, const char* end, std::vector<dbCwsClipSlot>& slots,
              const std::function<bool(dbCwsRows&)>& read)
{
    if (dbCWSSharedCatalogue(handle)) {
        if (!dbCwsClaimClipRows(handle, fcn, condition, limit, read))
            for (dbCwsClipSlot& slot : slots)
                slot = dbCwsClipSlot();
        return;
    }
    dbCwsRows rows =
        dbCwsRun(handle, fcn, "SELECT * FROM Clips WHERE " + condition + " LIMIT " + limit + end);
    for (; rows.atRow() && read(rows); rows.next()) {
    }
}

} // namespace

dbCwsKnownClip dbCwsKnownClipOf(const dbCwsRows& rows)
{
    dbCwsKnownClip clip;
    clip.id = rows.integer("ID", -1);
    clip.inProgress = rows.integer("Complete", 0) == QZ_IN_PROGRESS ||
                      rows.text("MD5").value_or(std::string()) == "in progress";
    clip.stamp.size = numberOf(rows, "Size");
    clip.stamp.modified = numberOf(rows, "MTime");
    return clip;
}

int dbCwsElementStatus::state(unsigned code) const
{
    const int index = dbCwsElementIndex(code);
    if (index < 0 || static_cast<size_t>(index) >= states.size())
        return 0;
    return states[static_cast<size_t>(index)];
}

int dbCWSAddClip(dbCwsHandle* handle, const std::string& clipName, const std::string& anchorPath,
                 const std::string& sourceDir, const dbCwsNewClipState& newState,
                 const dbCwsFileStamp& stamp, dbCwsKnownClip* known)
{
    if (!hasDatabase(handle))
        return 0;
    const dbCwsFoundClip found = dbCWSFindClips(handle, sourceDir, {anchorPath}).front();
    if (found.kind != dbCwsFoundClip::New) {
        if (known)
            *known = found.known;
        return 1;
    }
    const int state = newState ? newState() : QZ_FOUND_FILE;
    if (state < 0)
        return -1;
    dbCWSInsertClips(handle, sourceDir, {{clipName, anchorPath, state, stamp}});
    return 0;
}

int dbCWSGetNextFileToCheck(dbCwsHandle* handle, std::vector<dbCwsClipSlot>& slots, unsigned made,
                            int limit)
{
    if (dbCwsIsSQLite(handle))
        return firstClipIntoSlot(handle, "dbCWSGetNextFileToCheck",
                                 "SELECT * FROM Clips WHERE Complete=0 OR Complete IS NULL;", slots,
                                 true);
    if (!dbCwsIsMySQL(handle))
        return 0;
    std::string condition = "(";
    for (unsigned code : workElements)
        if (made & code) {
            const std::string& column = dbCwsFindElement(code)->stateColumn;
            condition += column + " IS NULL OR " + column + "=0 OR ";
        }
    condition += "0) AND (Complete=0 OR Complete=2 OR Complete IS NULL)";
    size_t i = 0;
    readWork(handle, "dbCWSGetNextFileToCheck", condition, limitText(limit, slots), "", slots,
             [&](dbCwsRows& rows) {
                 if (i >= slots.size())
                     return false;
                 if (rows.text("ClipName").value_or(std::string()).empty())
                     emptySlotTexts(slots[i++]);
                 else
                     fillSlot(rows, slots[i++], true);
                 return true;
             });
    return 0;
}

int dbCWSGetNextMD5FileToCheck(dbCwsHandle* handle, std::vector<dbCwsClipSlot>& slots, int limit)
{
    if (dbCwsIsSQLite(handle))
        return firstClipIntoSlot(handle, "dbCWSGetNextMD5FileToCheck",
                                 "SELECT * FROM Clips WHERE MD5 IS NULL;", slots, false);
    if (!dbCwsIsMySQL(handle))
        return 0;
    size_t i = 0;
    int result = 0;
    readWork(handle, "dbCWSGetNextMD5FileToCheck", "MD5 IS NULL", limitText(limit, slots), ";",
             slots, [&](dbCwsRows& rows) {
                 if (i >= slots.size() || result < 0)
                     return false;
                 if (rows.text("ClipName").value_or(std::string()).empty()) {
                     qDebug("dbCWSGetNextMD5FileToCheck %s database %s", rows.errorText().c_str(),
                            handle->connectionName.toUtf8().constData());
                     result = -1;
                     return false;
                 }
                 fillSlot(rows, slots[i++], false);
                 return true;
             });
    return result;
}

int dbCWSGetNextFileFromState(dbCwsHandle* handle, std::string* clipName, std::string* anchorPath,
                              std::string* sourceDir, unsigned code, int state)
{
    const dbCwsElement* element = dbCwsFindElement(code);
    dbCwsRows rows;
    if (element && !element->stateColumn.empty() && code != CWS_ELEMENT_RTIN)
        rows = dbCwsRun(handle, "dbCWSGetNextFileFromState",
                        "SELECT * FROM Clips WHERE " + element->stateColumn + "=? LIMIT 1;",
                        {static_cast<long long>(state)});
    const std::optional<std::string> anchor = rows.text("AnchorPath");
    if (!anchor || anchor->empty()) {
        dbCwsCopy(std::nullopt, clipName);
        dbCwsCopy(std::nullopt, anchorPath);
        dbCwsCopy(std::nullopt, sourceDir);
        return -1;
    }
    dbCwsCopy(anchor, anchorPath);
    dbCwsCopy(rows.text("ClipName"), clipName);
    dbCwsCopy(rows.text("SourceDir"), sourceDir);
    return 0;
}

int dbCWSGetElementStatus(dbCwsHandle* handle, const std::string& anchorPath,
                          dbCwsElementStatus& status, unsigned elements)
{
    if (!hasDatabase(handle))
        return -1;
    const dbCwsRows rows = dbCwsRun(handle, "dbCWSGetElementStatus",
                                    "SELECT * FROM Clips WHERE AnchorPath=?", {anchorPath});
    if (!rows.atRow()) {
        if (dbCwsIsMySQL(handle))
            qDebug("dbCWSGetElementStatus %s database %s", rows.errorText().c_str(),
                   handle->connectionName.toUtf8().constData());
        return -1;
    }
    status.states.clear();
    for (const dbCwsElement& element : dbCwsElements())
        status.states.push_back(element.stateColumn.empty() || !(elements & element.code)
                                    ? 0
                                    : rows.integer(element.stateColumn.c_str(), 0));
    status.md5 = rows.text("MD5").value_or(std::string());
    return 0;
}

int dbCWGetClipInfo(dbCwsHandle* handle, const std::string& anchorPath, std::string* clipName,
                    std::string* sourceDir, unsigned code, int /*reserved*/, std::string* path,
                    int* state, std::string* error)
{
    const dbCwsRows rows =
        dbCwsRun(handle, "dbCWGetClipInfo", "SELECT * FROM Clips WHERE AnchorPath=?", {anchorPath});
    if (!rows.atRow())
        return -1;
    dbCwsCopy(rows.text("ClipName"), clipName);
    dbCwsCopy(rows.text("SourceDir"), sourceDir);
    const dbCwsElement* element = dbCwsFindElement(code);
    if (!element || element->kind != dbCwsElementKind::Output)
        return 0;
    dbCwsCopy(rows.text(element->pathColumn.c_str()), path);
    if (state)
        *state = rows.integer(element->stateColumn.c_str(), 0);
    dbCwsCopy(rows.text(element->errorColumn.c_str()), error);
    return 0;
}

namespace
{

// The columns that element `element` writes, with their values.
std::vector<std::pair<std::string, CSQLite3Value>>
elementAssignments(const dbCwsElement& element, const char* elementText, const char* valueText,
                   int state, const char* errorText)
{
    const CSQLite3Value stateValue = static_cast<long long>(state);
    switch (element.kind) {
    case dbCwsElementKind::Output:
        return {{element.pathColumn, dbCwsText(valueText)},
                {element.stateColumn, stateValue},
                {element.errorColumn, dbCwsText(errorText)}};
    case dbCwsElementKind::Numbered:
        return {{element.textColumn, dbCwsText(elementText)},
                {element.pathColumn, dbCwsText(valueText)},
                {element.stateColumn, stateValue},
                {element.errorColumn, dbCwsText(errorText)}};
    case dbCwsElementKind::Clip:
        return {{element.stateColumn, stateValue}};
    case dbCwsElementKind::MD5:
        break;
    }
    const bool hasText = elementText && *elementText;
    return {{element.textColumn, hasText ? dbCwsText(elementText) : CSQLite3Value()}};
}

// One UPDATE of every column in `assignments` of the clip whose `key` column is `keyValue`,
// with its values in order.
std::pair<std::string, std::vector<CSQLite3Value>>
assignmentUpdate(const std::vector<std::pair<std::string, CSQLite3Value>>& assignments,
                 const char* key, CSQLite3Value keyValue)
{
    std::string sql = "UPDATE Clips SET ";
    std::vector<CSQLite3Value> values;
    for (const auto& assignment : assignments) {
        sql += (values.empty() ? "" : ", ") + assignment.first + "=?";
        values.push_back(assignment.second);
    }
    sql += std::string(" WHERE ") + key + "=?;";
    values.push_back(std::move(keyValue));
    return {sql, values};
}

// SQLite: one statement addressed by anchor path.
int setElementSQLite(dbCwsHandle* handle, const dbCwsElement& element,
                     const std::string& anchorPath,
                     const std::vector<std::pair<std::string, CSQLite3Value>>& assignments)
{
    const char* fcn = element.kind == dbCwsElementKind::Clip ? "dbCWSSetElementStatus-complete"
                                                             : "dbCWSSetElementStatus";
    const auto [sql, values] = assignmentUpdate(assignments, "AnchorPath", anchorPath);
    dbCwsRun(handle, fcn, sql, values);
    return 0;
}

// MySQL: one statement, addressed by ID unless it is -1.
int setElementMySQL(dbCwsHandle* handle, const dbCwsElement& element, int id,
                    const std::string& anchorPath,
                    const std::vector<std::pair<std::string, CSQLite3Value>>& assignments)
{
    const auto [sql, values] = id != -1
                                   ? assignmentUpdate(assignments, "ID", static_cast<long long>(id))
                                   : assignmentUpdate(assignments, "AnchorPath", anchorPath);
    const char* tag =
        element.code == CWS_ELEMENT_XMP ? "dbCWSSetElementStatusXMP " : "dbCWSSetElementStatus ";
    return dbCwsRun(handle, "dbCWSSetElementStatus", sql, values, tag).ok() ? 0 : -1;
}

// Keeps the time of an element's failure (ElementFailures).
void recordFailureTime(dbCwsHandle* handle, int id, const std::string& anchorPath, unsigned code)
{
    const long long now = static_cast<long long>(std::time(nullptr));
    if (dbCwsIsMySQL(handle) && id != -1)
        dbCwsRun(handle, "dbCWSSetElementStatus",
                 "REPLACE INTO ElementFailures (ClipID, Element, Time) VALUES (?, ?, ?);",
                 {static_cast<long long>(id), static_cast<long long>(code), now});
    else
        dbCwsRun(handle, "dbCWSSetElementStatus",
                 "REPLACE INTO ElementFailures (ClipID, Element, Time) SELECT ID, ?, ? FROM Clips "
                 "WHERE AnchorPath=?;",
                 {static_cast<long long>(code), now, anchorPath});
}

} // namespace

int dbCWSSetElementStatus(dbCwsHandle* handle, int id, const std::string& anchorPath, unsigned code,
                          const char* elementText, const char* valueText, int state,
                          const char* errorText)
{
    const dbCwsElement* element = dbCwsFindElement(code);
    if (!element || !hasDatabase(handle))
        return 0;
    const auto assignments = elementAssignments(*element, elementText, valueText, state,
                                                errorText ? errorText : notReported);
    if (state == QZ_ERROR || state == QZ_NETWORK_ERROR || state == QZ_LOST_PROCESS)
        recordFailureTime(handle, id, anchorPath, code);
    if (dbCwsIsSQLite(handle))
        return setElementSQLite(handle, *element, anchorPath, assignments);
    if (element->kind == dbCwsElementKind::Clip && state == QZ_ERROR)
        ErrOut("\nSetting <%s> to ERROR (4) ", anchorPath.c_str());
    return setElementMySQL(handle, *element, id, anchorPath, assignments);
}
