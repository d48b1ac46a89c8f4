// Private to db/: the claiming read of the clip work queries on a shared catalogue.
#pragma once

#include "db/claims.h"
#include "db/statement_p.h"

#include <functional>
#include <string>

// Clips of `condition` (a WHERE clause of Clips) that no other host claims, at most `limit`,
// read with their rows locked (rows others hold are skipped) and claimed for this host, in one
// transaction. `read` is given the rows and tells whether it took the current one. False when
// the transaction did not commit: nothing read is then claimed.
bool dbCwsClaimClipRows(dbCwsHandle* handle, const char* fcn, const std::string& condition,
                        const std::string& limit, const std::function<bool(dbCwsRows&)>& read);
