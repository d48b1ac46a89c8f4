// The count cache of an SQLite connection: a TEMP table with one row holding every count of
// dbCwsCount, kept current by TEMP triggers on Directories and Clips, so that the status
// refresh reads one row instead of scanning both tables. TEMP objects belong to the connection,
// never to the file's schema. Writes that another connection (a second handle, another process)
// commits change PRAGMA data_version, and a change of the file's schema changes schema_version;
// the read recounts when either moved since the last count.
#pragma once

#include "db/connection.h"
#include "db/counting.h"

#include <functional>

// Creates the cache table and its triggers on the handle's SQLite connection, each only when
// missing, and enables recursive triggers so that rows removed by REPLACE are counted out.
// Failures are logged with the operation name `fcn`. True when everything is in place.
bool dbCwsInstallCountCache(dbCwsHandle* handle, const char* fcn);

// Fills `counts` from the cache, recounting first (with the triggers put back when missing) when
// the file was changed by another connection or its schema changed. False, after a logged
// failure, when the cache cannot be read or recounted; `counts` is then left as it was.
bool dbCwsReadCountCache(dbCwsHandle* handle, dbCwsCounts& counts);

// Runs `write`, statements that change many rows of Clips. When they change `most` rows, or
// when the counts are to be recounted anyway (another connection wrote), the cache does not
// follow each row: its trigger on updates of Clips is taken away meanwhile, then put back and
// every count recounted. Otherwise, and where the connection has no cache (MySQL, or before
// the first read), it only runs `write`. Failures are logged with `fcn`.
void dbCwsUpdateClips(dbCwsHandle* handle, const char* fcn, bool most,
                      const std::function<void()>& write);
