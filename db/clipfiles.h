// Tables kept beside the clip records, created when missing: ClipFiles, what each clip's file
// was when it was recorded or last made (its size and modification time), so that a rescan
// finds the clips whose file was replaced since; and ElementFailures, when each element of a
// clip last failed.
#pragma once

#include "db/connection.h"

#include <string>
#include <vector>

// A file's size and modification time (seconds since the epoch); -1 where unknown.
struct dbCwsFileStamp {
    long long size = -1;
    long long modified = -1;
    bool known() const { return size >= 0; }
    bool operator==(const dbCwsFileStamp& other) const
    {
        return size == other.size && modified == other.modified;
    }
};

// A clip that dbCWSAddClip found recorded already: its ID, whether work on it is in progress
// (the clip itself or its MD5), and the stamp kept for it (unknown for clips recorded before
// stamps were kept).
struct dbCwsKnownClip {
    int id = -1;
    bool inProgress = false;
    dbCwsFileStamp stamp;
};

// The statements that create the tables when they are missing, for either kind.
std::vector<std::string> dbCwsAddedTables(bool mysql);

// Keeps `stamp` for clip `id`, replacing the one kept before. Returns 0, or -1 on failure.
int dbCWSStampClip(dbCwsHandle* handle, int id, const dbCwsFileStamp& stamp);

// Clip `id`'s file was replaced: every element of the clip goes back to waiting as in a new
// clip (its state and error text NULL, MD5 NULL, Complete 0) so that it is made again, and
// `stamp` is kept.
// Returns 0, or -1 when a statement failed.
int dbCWSRenewClip(dbCwsHandle* handle, int id, const dbCwsFileStamp& stamp);
