// Clip records: adding clips, picking the clips that still have work, reading a clip's
// element states and texts, and writing an element's outcome. A clip is addressed by its
// anchor path (exact text), or on MySQL by its ID where an operation takes one.
#pragma once

#include "db/clipfiles.h"
#include "db/connection.h"

#include <functional>
#include <string>
#include <vector>

// One clip handed out by the batch operations.
struct dbCwsClipSlot {
    int id = -1;            // row ID (not filled by dbCWSGetNextMD5FileToCheck)
    std::string clipName;   // file name
    std::string anchorPath; // full path; empty when the slot holds no clip
    std::string sourceDir;  // directory that holds the clip
    int complete = 0;       // the clip's own state (NULL as 0)
};

// A clip's element states (NULL as 0) and its MD5 text (empty for NULL).
struct dbCwsElementStatus {
    std::vector<int> states; // by position in dbCwsElements()
    std::string md5;
    // The state of element `code`; 0 for a code without a state.
    int state(unsigned code) const;
};

// Gives the Complete value of a clip about to be inserted; called only for a new anchor path.
using dbCwsNewClipState = std::function<int()>;

// Records a clip with Complete 6 (QZ_FOUND_FILE), or with the value `newState` gives when it is
// set, so that a caller that would set the clip's state next writes the row once; a negative
// value records nothing and gives -1. A new clip's `stamp`, read after `newState` ran, is kept
// beside it when known. Returns 1 when the anchor path is known already (on MySQL also when it
// is some clip's proxy or mezzanine path), with the clip's ID, work in progress and kept stamp in
// `known` when given (ID -1 for a proxy or mezzanine path); else 0 (also when the insert failed;
// it is logged, and without a database).
int dbCWSAddClip(dbCwsHandle* handle, const std::string& clipName, const std::string& anchorPath,
                 const std::string& sourceDir, const dbCwsNewClipState& newState = nullptr,
                 const dbCwsFileStamp& stamp = dbCwsFileStamp(), dbCwsKnownClip* known = nullptr);

// Fills `slots` (cleared by the caller) with clips that have work. SQLite: the first clip whose
// Complete is 0 or NULL, into slot 0; -1 when there is none (slot 0's texts emptied). MySQL: up
// to `limit` clips waiting or in progress of which an output element among `made` (element
// codes) is waiting. At most slots.size() slots are written. Returns 0 otherwise.
int dbCWSGetNextFileToCheck(dbCwsHandle* handle, std::vector<dbCwsClipSlot>& slots, unsigned made,
                            int limit);

// Fills `slots` with clips whose MD5 is NULL (no IDs): the first one on SQLite, up to `limit`
// on MySQL. Returns -1 on SQLite when there is none, and on MySQL at a row with an empty clip
// name; else 0.
int dbCWSGetNextMD5FileToCheck(dbCwsHandle* handle, std::vector<dbCwsClipSlot>& slots, int limit);

// One clip whose element `code` (picon, XMP, proxy, mezzanine, a numbered element or the clip
// itself) is in `state`: 0 and the given texts filled; -1 and the given texts emptied when
// there is none or the code names no such element (RTIN included).
int dbCWSGetNextFileFromState(dbCwsHandle* handle, std::string* clipName, std::string* anchorPath,
                              std::string* sourceDir, unsigned code, int state);

// Reads the element states and the MD5 text of the clip at `anchorPath`: the states of the
// elements in `elements` (element codes as a bit set), the others read as 0. Returns 0 when
// found, -1 when not found, on failure or without a database.
int dbCWSGetElementStatus(dbCwsHandle* handle, const std::string& anchorPath,
                          dbCwsElementStatus& status, unsigned elements = ~0u);

// Reads the clip's name and source directory and, for an output element `code` (picon, XMP,
// proxy, mezzanine, RTIN), its path, state (NULL as 0) and error text; other codes read no
// element. Each output may be null. `reserved` is not used. Returns 0 when found, else -1.
int dbCWGetClipInfo(dbCwsHandle* handle, const std::string& anchorPath, std::string* clipName,
                    std::string* sourceDir, unsigned code, int reserved, std::string* path,
                    int* state, std::string* error);

// Writes element `code` of a clip: the element text (numbered elements, MD5; MD5 is set to NULL
// when it is null or empty), the value text (output path), the state and the error text (null
// becomes "Error:  Not reported from operation"). Null texts are stored as NULL. SQLite
// addresses the clip by `anchorPath`; MySQL by `id` unless it is -1. Returns 0, or -1 when
// the MySQL statement failed. A clip that does not exist is not an error. A failed state (4, 5
// or 7) also keeps the time of the failure (ElementFailures).
int dbCWSSetElementStatus(dbCwsHandle* handle, int id, const std::string& anchorPath, unsigned code,
                          const char* elementText, const char* valueText, int state,
                          const char* errorText);
