// The dashboard's reads of a clip database: the latest clips with a failed element, clips found
// by name or path, and one clip by its ID. Every value is bound, never pasted into the SQL.
// Any thread (on MySQL each thread reads through its own connection clone).
#pragma once

#include <optional>
#include <string>
#include <vector>

class dbCwsHandle;
struct dbCwsElement;

namespace web
{

// One element of a clip as recorded; empty texts for NULL.
struct ElementRecord {
    const dbCwsElement* element = nullptr;
    int state = 0;           // QZ_* state code, NULL as 0
    std::string text;        // element text (numbered elements, MD5)
    std::string path;        // derived file path, or a numbered element's value
    std::string error;       // error text
    long long failedAt = -1; // when it last failed, seconds since the epoch; -1: not known
    bool failed() const;
};

struct ClipRecord {
    int id = -1;
    std::string name;                    // ClipName
    std::string anchorPath;              // AnchorPath
    int complete = 0;                    // the clip's own state
    std::vector<ElementRecord> elements; // those with anything recorded
};

// The elements whose failures are listed: those with a state and an error text (the outputs
// and the numbered elements).
std::vector<const dbCwsElement*> listedElements();

// Failed: in state 4 (error) or 5 (network error), the states the error counts take.
bool isFailedState(int state);

// Up to `limit` clips with a failed element (of `only` when given), newest record first; each
// holds only its failed elements.
std::vector<ClipRecord> latestFailures(dbCwsHandle* db, const dbCwsElement* only, int limit);

// Up to `limit` clips whose name or path contains `words` (case ignored), by ID.
std::vector<ClipRecord> findClips(dbCwsHandle* db, const std::string& words, int limit);

// The clip with record `id`, or nothing.
std::optional<ClipRecord> clipById(dbCwsHandle* db, int id);

} // namespace web
