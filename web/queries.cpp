// Clip reads of the dashboard (see queries.h), over the db layer's statement runner.
#include "web/queries.h"

#include "db/elements.h"
#include "db/statement_p.h"

namespace web
{

namespace
{

const char kFcn[] = "dashboard";
const char kColumns[] = "SELECT * FROM Clips ";

// The elements that have a state and an error text: the outputs and the numbered elements.
bool hasErrorText(const dbCwsElement& e)
{
    return !e.stateColumn.empty() && !e.errorColumn.empty();
}

std::string column(const dbCwsRows& rows, const std::string& name)
{
    return name.empty() ? std::string() : rows.text(name.c_str()).value_or(std::string());
}

ClipRecord readClip(const dbCwsRows& rows)
{
    ClipRecord clip;
    clip.id = rows.integer("ID", -1);
    clip.name = column(rows, "ClipName");
    clip.anchorPath = column(rows, "AnchorPath");
    clip.complete = rows.integer("Complete");
    for (const dbCwsElement& e : dbCwsElements()) {
        if (e.kind == dbCwsElementKind::Clip)
            continue;
        ElementRecord r{&e, e.stateColumn.empty() ? 0 : rows.integer(e.stateColumn.c_str()),
                        column(rows, e.textColumn), column(rows, e.pathColumn),
                        column(rows, e.errorColumn)};
        if (r.state != 0 || !r.text.empty() || !r.path.empty() || !r.error.empty())
            clip.elements.push_back(std::move(r));
    }
    return clip;
}

// The failure time of each of the clip's elements that has one.
void readFailureTimes(dbCwsHandle* db, ClipRecord& clip)
{
    for (dbCwsRows rows =
             dbCwsRun(db, kFcn, "SELECT Element, Time FROM ElementFailures WHERE ClipID=?",
                      {static_cast<long long>(clip.id)});
         rows.atRow(); rows.next())
        for (ElementRecord& r : clip.elements)
            if (static_cast<int>(r.element->code) == rows.integer("Element", -1))
                r.failedAt = std::stoll(rows.text("Time").value_or("-1"));
}

std::vector<ClipRecord> readClips(dbCwsRows rows)
{
    std::vector<ClipRecord> clips;
    for (; rows.atRow(); rows.next())
        clips.push_back(readClip(rows));
    return clips;
}

// "a" with the LIKE wildcards and the escape character itself escaped by "!".
std::string likeLiteral(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '%' || c == '_' || c == '!')
            out += '!';
        out += c;
    }
    return out;
}

} // namespace

std::vector<const dbCwsElement*> listedElements()
{
    std::vector<const dbCwsElement*> list;
    for (const dbCwsElement& e : dbCwsElements())
        if (hasErrorText(e))
            list.push_back(&e);
    return list;
}

bool isFailedState(int state)
{
    return state == 4 || state == 5;
}

bool ElementRecord::failed() const
{
    return hasErrorText(*element) && isFailedState(state);
}

std::vector<ClipRecord> latestFailures(dbCwsHandle* db, const dbCwsElement* only, int limit)
{
    std::string condition;
    for (const dbCwsElement* e : listedElements())
        if (!only || only == e)
            condition += (condition.empty() ? "" : " OR ") + e->stateColumn + " IN (4, 5)";
    if (condition.empty())
        return {};
    // The latest failures first; clips failed before their times were kept come last.
    std::vector<ClipRecord> clips = readClips(
        dbCwsRun(db, kFcn,
                 "SELECT Clips.* FROM Clips LEFT JOIN (SELECT ClipID, MAX(Time) AS Latest FROM "
                 "ElementFailures GROUP BY ClipID) AS Failed ON Failed.ClipID = Clips.ID WHERE " +
                     condition + " ORDER BY COALESCE(Failed.Latest, 0) DESC, Clips.ID DESC LIMIT ?",
                 {limit}));
    for (ClipRecord& clip : clips) {
        std::vector<ElementRecord> failed;
        for (ElementRecord& r : clip.elements)
            if (r.failed() && (!only || only == r.element))
                failed.push_back(std::move(r));
        clip.elements = std::move(failed);
        readFailureTimes(db, clip);
    }
    return clips;
}

std::vector<ClipRecord> findClips(dbCwsHandle* db, const std::string& words, int limit)
{
    const std::string pattern = "%" + likeLiteral(words) + "%";
    return readClips(dbCwsRun(db, kFcn,
                              std::string(kColumns) +
                                  "WHERE ClipName LIKE ? ESCAPE '!' OR AnchorPath LIKE ? "
                                  "ESCAPE '!' ORDER BY ID LIMIT ?",
                              {pattern, pattern, limit}));
}

std::optional<ClipRecord> clipById(dbCwsHandle* db, int id)
{
    std::vector<ClipRecord> clips =
        readClips(dbCwsRun(db, kFcn, std::string(kColumns) + "WHERE ID = ?", {id}));
    if (clips.empty())
        return std::nullopt;
    return std::move(clips.front());
}

} // namespace web
