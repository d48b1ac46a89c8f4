// Counting queries: directories, clips and element jobs by state, one count at a time or all
// at once for the status refresh. A failed statement counts 0.
#pragma once

#include "db/connection.h"

#include <array>

// The counts of the status texts and the getscanstatus reply.
enum dbCwsCount {
    CWS_COUNT_DIRECTORIES,           // every directory
    CWS_COUNT_SEARCHED,              // Checked 1
    CWS_COUNT_DIRECTORY_ERRORS,      // Checked 2 or 4
    CWS_COUNT_FILES,                 // every clip
    CWS_COUNT_COMPLETED,             // Complete 1
    CWS_COUNT_REMAINING,             // NOT Complete=1 (NULL is not remaining)
    CWS_COUNT_WAITING,               // Complete 0
    CWS_COUNT_ERRORS,                // Complete 4 or 5
    CWS_COUNT_MD5_IN_PROGRESS,       // MD5 'in progress'
    CWS_COUNT_PROCESSES_COMPLETED,   // elements at 1, plus MD5s made or failed
    CWS_COUNT_PROCESSES_ERRORED,     // elements at 4 or 5, plus MD5 'Error'
    CWS_COUNT_PROCESSES_IN_PROGRESS, // elements at 2
    CWS_COUNT_KINDS
};

using dbCwsCounts = std::array<int, CWS_COUNT_KINDS>;

// Every count of dbCwsCount, equal to what the single operations below give. On SQLite they are
// read from the connection's count cache (db/countcache.h), which its triggers keep current
// and which is recounted after writes of other connections; on MySQL, and should the cache be
// unusable, they take one scan of Directories and one of Clips. Returns 0; without a database
// -1, and each count is then the single operation's result for a missing database.
int dbCWSGetAllCounts(dbCwsHandle* handle, dbCwsCounts& counts);

// Single counts: the count, or -1 without a database (0 for the MD5 and process counts).
int dbCWSGetDirectoryCount(dbCwsHandle* handle);
int dbCWSGetSearchedCount(dbCwsHandle* handle);
int dbCWSGetDirectoryErrorCount(dbCwsHandle* handle);
int dbCWSGetFileCount(dbCwsHandle* handle);
int dbCWSGetCompletedCount(dbCwsHandle* handle);
int dbCWSGetRemainingCount(dbCwsHandle* handle);
int dbCWSGetWaitingCount(dbCwsHandle* handle);
int dbCWSGetErrorCount(dbCwsHandle* handle);
int dbCWSGetMD5ProcessesInProgress(dbCwsHandle* handle);
// Summed over the output elements, the numbered elements and (except in progress) MD5.
int dbCWSGetProcessesCompleted(dbCwsHandle* handle);
int dbCWSGetProcessesErrored(dbCwsHandle* handle);
int dbCWSGetProcessesInProgress(dbCwsHandle* handle);

// Every count of dbCwsCount, each by its own single operation above: the reference that
// dbCWSGetAllCounts is measured and checked against.
dbCwsCounts dbCWSGetSingleCounts(dbCwsHandle* handle);
