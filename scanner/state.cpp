// The scanner states: their names, the requested state changes of SetState, the loop's own
// moves, and the shares of the job limits among all instances.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"

#include <algorithm>

namespace
{

const char* const stateNames[] = {
    "cwsIllegalState",        "cwsNotRunning",         "cwsFindDirectories",
    "cwsFindClips",           "cwsProcessingClips",    "cwsProcessingComplete",
    "cwsProcessingPaused",    "cwsProcessingResume",   "cwsProcessingStopped",
    "cwsWaitingForProcesses", "cwsApplicationExiting", "cwsIllegalStateEnd",
};

// `count`, or the database's count when it is 0; 1 when the database has none.
int countOrFetch(int count, dbCwsHandle* db, int (*fetch)(dbCwsHandle*))
{
    if (count == 0)
        count = fetch(db);
    return count > 0 ? count : 1;
}

} // namespace

const char* CQZClipwatch::StateName(int state)
{
    if (state < cwsIllegalState || state > cwsIllegalStateEnd)
        return stateNames[cwsIllegalState];
    return stateNames[state];
}

int CQZClipwatch::MD5Share() const
{
    return std::max(1, Settings().MaxMD5s / std::max(1, instanceCount.load())) *
           AnsweringServices();
}

int CQZClipwatch::TranslationShare() const
{
    return std::max(1, Settings().MaxTranslations / std::max(1, instanceCount.load())) *
           AnsweringServices();
}

void CQZClipwatch::WarnNoDatabase()
{
    ErrFmtOut(QZ_LEVEL_WARNING, 0, 0, "WARNING(CWSscan): %s\n",
              "Can't set state - no database available ");
}

void CQZClipwatch::ChangeState(int newState)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    previousState = state.exchange(newState);
    ++stateSets_;
}

bool CQZClipwatch::MoveState(int from, int to)
{
    std::lock_guard<std::mutex> lock(stateMutex_);
    int expected = from;
    if (stateSets_ != passStateSets_ || !state.compare_exchange_strong(expected, to))
        return false;
    previousState = from;
    return true;
}

bool CQZClipwatch::KeepGoing(Work kind) const
{
    const int s = state;
    return s != cwsApplicationExiting && (kind == Work::Following || s != cwsProcessingStopped);
}

void CQZClipwatch::LogDirectoriesFound()
{
    const uint32_t now = qzOSGetMs();
    directoriesFoundAt_ = now;
    const std::shared_ptr<dbCwsHandle> db = Database();
    const int directories = countOrFetch(std::max(0, counts[CWS_COUNT_DIRECTORIES].load()),
                                         db.get(), dbCWSGetDirectoryCount);
    const int ms = static_cast<int>(now - scanStartedAt_);
    ErrOut("\nCWSDirectories found %d in %dms (%d ms per dir - %d) ", directories, ms,
           ms / directories, directories);
}

void CQZClipwatch::LogClipsFound()
{
    const uint32_t now = qzOSGetMs();
    clipsFoundAt_ = now;
    const std::shared_ptr<dbCwsHandle> db = Database();
    const int directories = std::max(0, counts[CWS_COUNT_DIRECTORIES].load());
    const int completed = countOrFetch(std::max(0, counts[CWS_COUNT_COMPLETED].load()), db.get(),
                                       dbCWSGetCompletedCount);
    const int ms = static_cast<int>(now - directoriesFoundAt_);
    ErrOut("\nCWSClips found %d in %dms (%d ms per clip - %d) ", directories, ms, ms / completed,
           completed);
}

int CQZClipwatch::SetState(int requested)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!db) {
        WarnNoDatabase();
        return -1;
    }
    if (requested == cwsProcessingPaused || requested == cwsProcessingStopped)
        heldUntilStart_ = true;
    else if (requested == cwsProcessingResume ||
             (requested >= cwsFindDirectories && requested <= cwsProcessingClips))
        heldUntilStart_ = false;
    switch (requested) {
    case cwsNotRunning:
    case cwsProcessingComplete:
    case cwsProcessingStopped:
        SaveAutoStart(number_, false);
        break;
    case cwsFindDirectories:
        fullRescan = true;
        SaveAutoStart(number_, true);
        break;
    case cwsFindClips:
        LogDirectoriesFound();
        SaveAutoStart(number_, true);
        break;
    case cwsProcessingClips:
        LogClipsFound();
        SaveAutoStart(number_, true);
        break;
    case cwsProcessingPaused:
        SaveAutoStart(number_, true);
        break;
    case cwsProcessingResume: {
        SaveAutoStart(number_, true);
        const int previous = previousState;
        int target = previous;
        if (previous != cwsFindDirectories && previous != cwsFindClips &&
            previous != cwsProcessingClips && previous != cwsWaitingForProcesses) {
            const int searched = dbCWSGetSearchedCount(db.get());
            const int finished = dbCWSGetProcessesCompleted(db.get());
            const int directories = dbCWSGetDirectoryCount(db.get());
            if (finished > 0 || (directories > 0 && searched == directories))
                target = cwsProcessingClips;
            else
                target = searched > 0 ? cwsFindClips : cwsFindDirectories;
        }
        if (!scanThreadRunning) {
            ChangeState(target);
            StartScanning();
        }
        ChangeState(target);
        return target;
    }
    default:
        break;
    }
    ChangeState(requested);
    return requested;
}

void CQZClipwatch::ResumeAutoStart()
{
    // Only an instance still waiting to start: the check comes again every few seconds while
    // the controller is away, and a state set during a pass would undo the pass's own move.
    if (Settings().AutoStart && !heldUntilStart_ && state == cwsNotRunning)
        SetState(cwsProcessingResume);
}
