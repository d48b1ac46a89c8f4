// The clips of one folder listing looked up and inserted together, in a few statements for any
// number of clips instead of several per clip. A path matches as in dbCWSAddClip: by the
// server's own comparison, so on MySQL its collation decides, as for a single clip.
#pragma once

#include "db/clipfiles.h"
#include "db/connection.h"

#include <string>
#include <vector>

// What dbCWSFindClips found of one anchor path.
struct dbCwsFoundClip {
    enum Kind {
        New,     // not recorded
        Known,   // recorded: the clip is in `known`
        Derived, // MySQL: some clip's proxy or mezzanine path, never a clip itself
        Repeat,  // equal to an earlier path of the same call: look it up once that one is in
    };
    Kind kind = New;
    dbCwsKnownClip known;
};

// A clip to record: its file name, anchor path, Complete value and its file's stamp (kept
// beside it when known).
struct dbCwsNewClip {
    std::string clipName;
    std::string anchorPath;
    int complete = 0;
    dbCwsFileStamp stamp;
};

// Looks up each of `anchorPaths` (local paths, at most 4096 characters; each logged as
// dbCWSAddClip logs it, with `sourceDir`); one result per path, in order. A path whose look-up
// failed (logged) is New, as is every path without a database. Should the server refuse the
// staging table, each path is looked up alone, and one that may equal an earlier one (case and
// accents aside) comes back as Repeat.
std::vector<dbCwsFoundClip> dbCWSFindClips(dbCwsHandle* handle, const std::string& sourceDir,
                                           const std::vector<std::string>& anchorPaths);
// The two halves of dbCWSFindClips, for a look-up made ahead on another thread and its lines
// logged when its result is taken.
std::vector<dbCwsFoundClip> dbCWSLookUpClips(dbCwsHandle* handle,
                                             const std::vector<std::string>& anchorPaths);
void dbCWSLogClipLookUp(const std::string& sourceDir, const std::vector<std::string>& anchorPaths);

// Inserts `clips` of directory `sourceDir`, which dbCWSFindClips found New, with their known
// stamps. Returns 0, or -1 when a statement failed (logged).
int dbCWSInsertClips(dbCwsHandle* handle, const std::string& sourceDir,
                     const std::vector<dbCwsNewClip>& clips);
