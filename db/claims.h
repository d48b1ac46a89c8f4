// Claims of the hosts that share one MySQL catalogue: which host walks the tree, searches a
// folder or works on a clip, and until when. A claim is renewed while its host lives; one whose
// time ran out is free for any host. A handle that does not share its catalogue (SQLite, or
// dbCWSShareCatalogue never called) claims nothing: every operation here does nothing, and the
// other operations behave as for a host alone.
#pragma once

#include "db/clips.h"
#include "db/connection.h"

#include <string>
#include <vector>

enum class dbCwsClaimKind : char { Walk = 'W', Directory = 'D', Clip = 'C' };

// Has the handle claim its work as `host`, each claim held `seconds` unless renewed. Call once,
// before the handle is shared between threads; nothing on SQLite or with an empty host.
void dbCWSShareCatalogue(dbCwsHandle* handle, const std::string& host, int seconds);
bool dbCWSSharedCatalogue(const dbCwsHandle* handle);

// Claims `item` for this host: true when it was free, had run out or was this host's already
// (renewed); false when another host holds it. True when the catalogue is not shared.
bool dbCWSClaim(dbCwsHandle* handle, dbCwsClaimKind kind, long long item);
void dbCWSReleaseClaim(dbCwsHandle* handle, dbCwsClaimKind kind, long long item);

// Renews every claim of this host once a third of the claim time has passed since the last
// renewal (cheap to call often).
void dbCWSRenewClaims(dbCwsHandle* handle);

// Claims one directory whose Checked is 0 and marks it in progress (2), in one transaction that
// skips rows other hosts hold: 0 and its path, or -1 when there is none to take now.
int dbCWSClaimNextDirectory(dbCwsHandle* handle, std::string& path);

// Ends the claim of the directory at `path` (its search is done or is to be done again).
void dbCWSReleaseDirectory(dbCwsHandle* handle, const std::string& path);

// Ends the claim of the clip at `anchorPath` (it has come to an end).
void dbCWSReleaseClip(dbCwsHandle* handle, const std::string& anchorPath);

// Ends every clip claim of this host (it has nothing of them left to start or follow).
void dbCWSReleaseClips(dbCwsHandle* handle);

// Directories whose claims ran out go back to Checked 0, to be searched again; claims of clips
// that no longer exist are dropped. Returns how many directories were freed.
int dbCWSFreeLapsedDirectories(dbCwsHandle* handle);

// Whether a walk claim ran out (its host died during the walk).
bool dbCWSWalkLapsed(dbCwsHandle* handle);

// Takes over up to `limit` clips whose claims ran out (their host died): claimed for this host
// in one transaction that skips rows other hosts hold. Fills `slots` (ID, texts, Complete).
std::vector<dbCwsClipSlot> dbCWSTakeLapsedClips(dbCwsHandle* handle, int limit);

// At a start: this host's directories in progress and those nobody claims go back to Checked 0
// and its directory claims end; its walk and clip claims, and claims on clips in progress that
// nobody claims, are made to run out, so that the take-overs follow them up.
void dbCWSReleaseOwnWork(dbCwsHandle* handle);

// Whether another host holds a claim (run out or not), or a directory waits for its search: the
// catalogue's work is not done.
bool dbCWSCatalogueBusy(dbCwsHandle* handle);

// Whether the catalogue's scan is under way: it is busy, or a clip's work is not done (waiting,
// in progress or waiting for its process; another host may hold no claim at that moment).
bool dbCWSCatalogueScanning(dbCwsHandle* handle);
