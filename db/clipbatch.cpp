// Clips looked up and inserted a listing at a time, through a temporary table of this
// connection that holds the paths of one stretch.
#include "db/clipbatch.h"

#include "db/clips_p.h"
#include "db/statement_p.h"
#include "platform/qzlog.h"

#include <QString>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace
{

// Rows of one statement: few enough for SQLite's limits on values and compound rows.
constexpr size_t kStretch = 100;

// `count` copies of `row`, joined by commas.
std::string repeated(size_t count, const char* row)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += (i ? ", " : "") + std::string(row);
    return text;
}

// Calls `run` with the begin and end of each stretch of `count` items.
void inStretches(size_t count, const std::function<void(size_t, size_t)>& run)
{
    for (size_t begin = 0; begin < count; begin += kStretch)
        run(begin, std::min(count, begin + kStretch));
}

// The handles whose connection of the calling thread has made CwsStaged.
thread_local std::set<const dbCwsHandle*> stagingMade;

// Empties CwsStaged, making it first on a connection that has not made it; false when that
// failed. A table that has gone since (a MySQL connection that reconnected loses its temporary
// tables) is made again.
bool emptyStaging(dbCwsHandle* handle, const char* fcn)
{
    // On MySQL a table in memory: an InnoDB one made each stretch several times slower. Its
    // paths hold the 4096 characters of the longest local path.
    const char* create = dbCwsIsMySQL(handle)
                             ? "CREATE TEMPORARY TABLE IF NOT EXISTS CwsStaged (Pos INT, "
                               "AnchorPath VARCHAR(4096), Size BIGINT, MTime BIGINT) ENGINE=MEMORY;"
                             : "CREATE TEMP TABLE IF NOT EXISTS CwsStaged (Pos INTEGER, "
                               "AnchorPath TEXT, Size INTEGER, MTime INTEGER);";
    const char* empty = "DELETE FROM CwsStaged;";
    if (stagingMade.count(handle) && dbCwsRun(handle, fcn, empty).ok())
        return true;
    stagingMade.erase(handle);
    if (!dbCwsRun(handle, fcn, create).ok() || !dbCwsRun(handle, fcn, empty).ok())
        return false;
    stagingMade.insert(handle);
    return true;
}

// Fills the temporary table CwsStaged with `rows` rows of `values` (position, anchor path, size,
// modification time), emptying it first; false when a statement failed.
bool stage(dbCwsHandle* handle, const char* fcn, size_t rows,
           const std::vector<CSQLite3Value>& values)
{
    return emptyStaging(handle, fcn) &&
           dbCwsRun(handle, fcn,
                    "INSERT INTO CwsStaged (Pos, AnchorPath, Size, MTime) VALUES " +
                        repeated(rows, "(?, ?, ?, ?)") + ";",
                    values)
               .ok();
}

// The join that reads CwsStaged first and looks each of its paths up by the other table's
// index: the planners otherwise may read the whole other table against the few staged rows.
std::string stagedJoin(const dbCwsHandle* handle)
{
    return dbCwsIsMySQL(handle) ? " FROM CwsStaged STRAIGHT_JOIN Clips ON "
                                : " FROM CwsStaged CROSS JOIN Clips ON ";
}

// `path` as a server's text comparison may take it at its loosest: case and accents ignored,
// trailing blanks dropped.
QString comparedAs(const std::string& path)
{
    QString loose;
    for (const QChar c : QString::fromStdString(path).normalized(QString::NormalizationForm_KD))
        if (c.category() != QChar::Mark_NonSpacing)
            loose += c;
    while (loose.endsWith(' '))
        loose.chop(1);
    return loose.toCaseFolded();
}

// Looks one path up without the staging table; a failed statement (logged) leaves it New.
void findOne(dbCwsHandle* handle, const std::string& anchor, dbCwsFoundClip& found)
{
    const char* fcn = "dbCWSAddClip";
    // On MySQL a proxy or mezzanine that this system wrote is not a new clip.
    if (dbCwsIsMySQL(handle))
        for (const char* lookup : {"SELECT ID FROM Clips WHERE ProxyPath=?",
                                   "SELECT ID FROM Clips WHERE MezzaninePath=?"}) {
            const dbCwsRows rows = dbCwsRun(handle, fcn, lookup, {anchor});
            if (rows.atRow()) {
                found = {dbCwsFoundClip::Derived, dbCwsKnownClip()};
                return;
            }
            if (!rows.ok())
                return;
        }
    const dbCwsRows rows = dbCwsRun(
        handle, fcn,
        "SELECT Clips.ID AS ID, Clips.Complete AS Complete, Clips.MD5 AS MD5, ClipFiles.Size AS "
        "Size, ClipFiles.MTime AS MTime FROM Clips LEFT JOIN ClipFiles ON "
        "ClipFiles.ClipID=Clips.ID WHERE Clips.AnchorPath=?",
        {anchor});
    if (rows.atRow())
        found = {dbCwsFoundClip::Known, dbCwsKnownClipOf(rows)};
}

// The columns of a known clip that a look-up reads, and the clip files joined to them.
const char* const kKnownColumns =
    "Clips.ID AS ID, Clips.Complete AS Complete, Clips.MD5 AS MD5, ClipFiles.Size AS Size, "
    "ClipFiles.MTime AS MTime";
const char* const kJoinFiles = " LEFT JOIN ClipFiles ON ClipFiles.ClipID=Clips.ID";

// SQLite compares paths byte for byte: the first of equal paths is found in memory and the
// rows map back to it by their path.
bool findStretchSQLite(dbCwsHandle* handle, const std::vector<std::string>& anchors, size_t begin,
                       size_t end, std::vector<dbCwsFoundClip>& found)
{
    std::map<std::string_view, size_t> firstAt;
    std::vector<CSQLite3Value> values;
    for (size_t i = begin; i < end; ++i)
        if (firstAt.emplace(anchors[i], i).second)
            values.emplace_back(anchors[i]);
        else
            found[i] = {dbCwsFoundClip::Repeat, dbCwsKnownClip()};
    dbCwsRows rows = dbCwsRun(
        handle, "dbCWSAddClip",
        std::string("SELECT Clips.AnchorPath AS AnchorPath, ") + kKnownColumns + " FROM Clips" +
            kJoinFiles + " WHERE Clips.AnchorPath IN (" + repeated(values.size(), "?") + ");",
        values);
    if (!rows.ok())
        return false;
    for (; rows.atRow(); rows.next()) {
        const auto at = firstAt.find(rows.text("AnchorPath").value_or(std::string()));
        if (at == firstAt.end())
            continue;
        // Of several clips of one path, the first recorded, as a look-up of the path alone
        // finds it.
        dbCwsFoundClip& clip = found[at->second];
        const dbCwsKnownClip known = dbCwsKnownClipOf(rows);
        if (clip.kind == dbCwsFoundClip::New || known.id < clip.known.id)
            clip = {dbCwsFoundClip::Known, known};
    }
    return true;
}

// The positions of the first of equal paths in a stretch of printable ASCII paths, which the
// usual collations hold equal only when comparedAs does; nothing when a path holds any other
// byte. Taking two paths for equal that the server holds apart only has the second looked up
// again.
std::optional<std::set<int>> asciiFirsts(const std::vector<std::string>& anchors, size_t begin,
                                         size_t end)
{
    std::set<QString> seen;
    std::set<int> firsts;
    for (size_t i = begin; i < end; ++i) {
        if (!std::all_of(anchors[i].begin(), anchors[i].end(),
                         [](char c) { return c >= 0x20 && c <= 0x7E; }))
            return std::nullopt;
        if (seen.insert(comparedAs(anchors[i])).second)
            firsts.insert(static_cast<int>(i));
    }
    return firsts;
}

// MySQL compares paths by its collation: the paths are staged and one statement gives, by Kind,
// the first of equal paths (0, unless asciiFirsts knows them), the proxies and mezzanines this
// system wrote (1) and the known clips (2).
bool findStretchMySQL(dbCwsHandle* handle, const std::vector<std::string>& anchors, size_t begin,
                      size_t end, std::vector<dbCwsFoundClip>& found)
{
    const char* fcn = "dbCWSAddClip";
    std::vector<CSQLite3Value> values;
    std::lock_guard<std::mutex> staged(handle->staging);
    for (size_t i = begin; i < end; ++i)
        values.insert(values.end(),
                      {static_cast<long long>(i), anchors[i], std::monostate(), std::monostate()});
    if (!stage(handle, fcn, end - begin, values))
        return false;
    const std::optional<std::set<int>> known = asciiFirsts(anchors, begin, end);
    const std::string noClip = ", NULL, NULL, NULL, NULL, NULL";
    dbCwsRows rows = dbCwsRun(
        handle, fcn,
        std::string(known ? ""
                          : "SELECT 0 AS Kind, MIN(Pos) AS Pos" + noClip +
                                " FROM CwsStaged GROUP BY AnchorPath UNION ALL ") +
            "SELECT 1 AS Kind, CwsStaged.Pos AS Pos, NULL AS ID, NULL AS Complete, NULL AS MD5, "
            "NULL AS Size, NULL AS MTime" +
            stagedJoin(handle) +
            "Clips.ProxyPath=CwsStaged.AnchorPath UNION ALL SELECT 1, CwsStaged.Pos" + noClip +
            stagedJoin(handle) +
            "Clips.MezzaninePath=CwsStaged.AnchorPath UNION ALL SELECT 2, CwsStaged.Pos, " +
            kKnownColumns + stagedJoin(handle) + "Clips.AnchorPath=CwsStaged.AnchorPath" +
            kJoinFiles + " ORDER BY Kind, Pos, ID;");
    if (!rows.ok())
        return false;
    std::set<int> firsts = known.value_or(std::set<int>()), derived;
    for (; rows.atRow(); rows.next()) {
        const int pos = rows.integer("Pos", -1);
        if (pos < static_cast<int>(begin) || pos >= static_cast<int>(end))
            continue;
        const int kind = rows.integer("Kind", -1);
        if (kind == 0)
            firsts.insert(pos);
        else if (kind == 1)
            derived.insert(pos);
        else if (found[static_cast<size_t>(pos)].kind == dbCwsFoundClip::New)
            found[static_cast<size_t>(pos)] = {dbCwsFoundClip::Known, dbCwsKnownClipOf(rows)};
    }
    for (size_t i = begin; i < end; ++i) {
        const int pos = static_cast<int>(i);
        if (derived.count(pos))
            found[i] = {dbCwsFoundClip::Derived, dbCwsKnownClip()};
        else if (!firsts.count(pos))
            found[i] = {dbCwsFoundClip::Repeat, dbCwsKnownClip()};
    }
    return true;
}

// The stamps of the new clips [begin, end) of `clips`, just inserted and given `ids` in their
// order.
bool insertStampsByIds(dbCwsHandle* handle, const std::vector<dbCwsNewClip>& clips, size_t begin,
                       size_t end, const std::vector<long long>& ids)
{
    std::vector<CSQLite3Value> stamps;
    for (size_t i = begin; i < end; ++i)
        if (clips[i].stamp.known())
            stamps.insert(stamps.end(),
                          {ids[i - begin], clips[i].stamp.size, clips[i].stamp.modified});
    return dbCwsRun(handle, "dbCWSAddClip",
                    "INSERT INTO ClipFiles (ClipID, Size, MTime) VALUES " +
                        repeated(stamps.size() / 3, "(?, ?, ?)") + ";",
                    stamps)
        .ok();
}

// The same where the insert gave no IDs: one clip by the last ID inserted, several by their
// paths (no other clip has an equal one) through the staging table.
bool insertStampsByPaths(dbCwsHandle* handle, const std::vector<dbCwsNewClip>& clips, size_t begin,
                         size_t end)
{
    const char* fcn = "dbCWSAddClip";
    if (end - begin == 1)
        return dbCwsRun(handle, fcn,
                        dbCwsIsMySQL(handle) ? "INSERT INTO ClipFiles (ClipID, Size, MTime) "
                                               "VALUES (LAST_INSERT_ID(), ?, ?);"
                                             : "INSERT INTO ClipFiles (ClipID, Size, MTime) "
                                               "VALUES (last_insert_rowid(), ?, ?);",
                        {clips[begin].stamp.size, clips[begin].stamp.modified})
            .ok();
    std::vector<CSQLite3Value> stamps;
    for (size_t i = begin; i < end; ++i)
        if (clips[i].stamp.known())
            stamps.insert(stamps.end(), {static_cast<long long>(i), clips[i].anchorPath,
                                         clips[i].stamp.size, clips[i].stamp.modified});
    std::lock_guard<std::mutex> staged(handle->staging);
    return stage(handle, fcn, stamps.size() / 4, stamps) &&
           dbCwsRun(handle, fcn,
                    "INSERT INTO ClipFiles (ClipID, Size, MTime) SELECT Clips.ID, "
                    "CwsStaged.Size, CwsStaged.MTime" +
                        stagedJoin(handle) + "Clips.AnchorPath=CwsStaged.AnchorPath;")
               .ok();
}

// Looks up the stretch [begin, end) of `anchors` into `found`; false when a statement failed.
bool findStretch(dbCwsHandle* handle, const std::vector<std::string>& anchors, size_t begin,
                 size_t end, std::vector<dbCwsFoundClip>& found)
{
    return dbCwsIsMySQL(handle) ? findStretchMySQL(handle, anchors, begin, end, found)
                                : findStretchSQLite(handle, anchors, begin, end, found);
}

} // namespace

std::vector<dbCwsFoundClip> dbCWSFindClips(dbCwsHandle* handle, const std::string& sourceDir,
                                           const std::vector<std::string>& anchorPaths)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return std::vector<dbCwsFoundClip>(anchorPaths.size());
    dbCWSLogClipLookUp(sourceDir, anchorPaths);
    return dbCWSLookUpClips(handle, anchorPaths);
}

void dbCWSLogClipLookUp(const std::string& sourceDir, const std::vector<std::string>& anchorPaths)
{
    // The listing's lines go to the log in one write.
    std::string lines;
    for (const std::string& anchor : anchorPaths)
        lines += "\nAddClip(" + sourceDir + " " + anchor + ") ";
    ErrOutText(lines);
}

std::vector<dbCwsFoundClip> dbCWSLookUpClips(dbCwsHandle* handle,
                                             const std::vector<std::string>& anchorPaths)
{
    std::vector<dbCwsFoundClip> found(anchorPaths.size());
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return found;
    inStretches(anchorPaths.size(), [&](size_t begin, size_t end) {
        if (end - begin > 1 && findStretch(handle, anchorPaths, begin, end, found))
            return;
        // One path (looked up alone more cheaply than staged), or a look-up that failed (on
        // MySQL, a user without the right to make temporary tables): each path alone, those that
        // may equal an earlier one (as the server compares them) once it is in.
        std::set<QString> seen;
        for (size_t i = begin; i < end; ++i) {
            found[i] = dbCwsFoundClip();
            if (!seen.insert(comparedAs(anchorPaths[i])).second)
                found[i].kind = dbCwsFoundClip::Repeat;
            else
                findOne(handle, anchorPaths[i], found[i]);
        }
    });
    return found;
}

int dbCWSInsertClips(dbCwsHandle* handle, const std::string& sourceDir,
                     const std::vector<dbCwsNewClip>& clips)
{
    if (!dbCwsIsSQLite(handle) && !dbCwsIsMySQL(handle))
        return 0;
    const char* fcn = "dbCWSAddClip";
    bool ok = true;
    inStretches(clips.size(), [&](size_t begin, size_t end) {
        std::vector<CSQLite3Value> rows;
        for (size_t i = begin; i < end; ++i) {
            const dbCwsNewClip& c = clips[i];
            rows.insert(rows.end(),
                        {c.clipName, c.anchorPath, sourceDir, static_cast<long long>(c.complete)});
        }
        dbCwsRows inserted =
            dbCwsRun(handle, fcn,
                     "INSERT INTO Clips (ClipName, AnchorPath, SourceDir, Complete) VALUES " +
                         repeated(end - begin, "(?, ?, ?, ?)") +
                         (handle->returnsIds ? " RETURNING ID;" : ";"),
                     rows);
        if (!inserted.ok()) {
            ok = false;
            return;
        }
        // New IDs only grow: the smallest is the first row's.
        std::vector<long long> ids;
        for (; handle->returnsIds && inserted.atRow(); inserted.next())
            ids.push_back(inserted.integer("ID"));
        std::sort(ids.begin(), ids.end());
        const bool stamped = std::any_of(clips.begin() + static_cast<std::ptrdiff_t>(begin),
                                         clips.begin() + static_cast<std::ptrdiff_t>(end),
                                         [](const dbCwsNewClip& c) { return c.stamp.known(); });
        if (stamped)
            ok = (ids.size() == end - begin ? insertStampsByIds(handle, clips, begin, end, ids)
                                            : insertStampsByPaths(handle, clips, begin, end)) &&
                 ok;
    });
    return ok ? 0 : -1;
}
