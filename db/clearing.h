// Clearing: putting directories, clips and elements back to an earlier state so that the
// scanner takes them up again, and marking work left in progress as failed at start-up.
// Each statement stands alone: a failure is logged and the next one runs. The clearing of
// errors, processes and running work changes Clips in one pass (one UPDATE).
#pragma once

#include "db/connection.h"

// Puts failed and unfinished directories (2, 4, 5, 7), clips and the picon, XMP, proxy and
// mezzanine elements (2 to 7) and RTIN (3 to 7) back to 0 and removes MD5 failure texts.
// Returns -1 always.
int dbCWSClearAllErrors(dbCwsHandle* handle);

// Puts every clip, output element and wrap element in `state` back to 0; forgets every MD5
// when `state` is 1, else only "MD5 Not Created No Response from VexoBase". Returns -1 always.
int dbCWSClearErrors(dbCwsHandle* handle, int state);

// Clear Processes: what dbCWSClearErrors does for each state from 1 to 7, at once. Returns -1
// always.
int dbCWSClearProcesses(dbCwsHandle* handle);

// Empties the elements named in `mask` (element codes) that are in progress or hold a progress
// text, and removes MD5 marker texts. On MySQL also sets a Complete of 2 to NULL. Returns 0, or
// -1 when a MySQL statement failed (0 without a database).
int dbCWSClearInProgress(dbCwsHandle* handle, unsigned mask);

// MySQL: the checksums that failed or were lost (their MD5 texts as dbCWSClearInProgress knows
// them) are made again; an MD5 in progress is left alone. For a host that shares its catalogue,
// whose start must not touch the other hosts' running work.
void dbCWSClearFailedMD5s(dbCwsHandle* handle);

// Puts clips and the switched-on elements that are in progress (2) back to 0; the MD5 switch
// removes "MD5 Not Created No Response from VexoBase" and "Error". Returns -1 always.
int dbCWSClearRunning(dbCwsHandle* handle, bool picon, bool xmp, bool proxy, bool mezzanine,
                      bool rtin, bool md5, bool element9);

// Sets Complete to `to` on every clip whose anchor path has a clip with Complete `from`, as
// dbCWSSetElementStatus of each such clip would, in one statement. Returns 0, or -1 when the
// statement failed or there is no database.
int dbCWSMoveClipStates(dbCwsHandle* handle, int from, int to);

// Marks every directory, clip and output element still in progress (2) as failed (4).
// Returns -1 always.
int dwCWSCheckDatabase(dbCwsHandle* handle);
