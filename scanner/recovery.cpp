// Start-up recovery of the work left in progress, and the reset of finished clips.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "monitor/completion.h"
#include "monitor/jobrequest.h"
#include "platform/bytetext.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch_p.h"
#include "scanner/elementsettings.h"

#include <QMutexLocker>
#include <QString>

#include <set>

namespace
{

bool sameText(const std::string& text, const char* word)
{
    return QString::fromStdString(text).compare(word, Qt::CaseInsensitive) == 0;
}

// Calls `visit` for each clip whose own state is `clipState`, taken one at a time; `visit` must
// move the clip out of that state. A clip handed out twice ends the walk, so that a write that
// did not take effect can never loop for ever. The writes are committed in batches (`fcn` names
// them in failure lines).
template <typename Visit>
void forEachClipInState(dbCwsHandle* db, int clipState, const char* fcn, Visit visit)
{
    std::set<std::string> seen;
    std::string anchor;
    dbCwsWriteBatch batch(db, fcn);
    while (dbCWSGetNextFileFromState(db, nullptr, &anchor, nullptr, CWS_ELEMENT_CLIP, clipState) ==
               0 &&
           !anchor.empty() && seen.insert(anchor).second) {
        visit(anchor);
        batch.renewAfter(kLongestBatch);
    }
}

} // namespace

bool CQZClipwatch::RecoverClip(const CWSSettings& s, const std::string& anchor, bool inProgress,
                               bool send, const FollowedJobs& followed)
{
    const QString source = textOfBytes(cwsUniformPath(anchor));
    const auto runs = [&](unsigned code) {
        return followed.count({source, static_cast<int>(code)}) > 0;
    };
    const std::shared_ptr<dbCwsHandle> db = Database();
    unsigned recovered = 0;
    for (const dbCwsElement& e : dbCwsElements())
        if (e.recoveredInProgress && cwsMakes(s, e))
            recovered |= e.code;
    dbCwsElementStatus status;
    if (dbCWSGetElementStatus(db.get(), anchor, status, recovered) != 0)
        return false;
    bool found = false;
    for (const dbCwsElement& e : dbCwsElements()) {
        if (!(recovered & e.code) || status.state(e.code) != QZ_IN_PROGRESS || runs(e.code))
            continue;
        if (inProgress)
            ErrOut("\nStart up found %s %s in progress", anchor.c_str(), e.recoveredInProgress);
        else
            ErrOut("\nStart up found %s %s waiting process", anchor.c_str(), e.recoveredWaiting);
        found = true;
        RequestByCode(e.code, anchor, send, false, -1);
    }
    const bool md5Running = sameText(status.md5, "in progress") && !runs(CWS_ELEMENT_MD5);
    if (s.MakeMD5 && inProgress && (md5Running || sameText(status.md5, "lost process purged"))) {
        ErrOut("\nStart up found %s md5 in progress, reseting", anchor.c_str());
        found = true;
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_MD5, "", "", 0, "");
    } else if (s.MakeMD5 && !inProgress && md5Running) {
        ErrOut("\nStart up found %s md5 waiting process", anchor.c_str());
        MakeMD5(anchor, send, -1);
    }
    return found;
}

void CQZClipwatch::RecoverClipsInState(const CWSSettings& s, int clipState,
                                       const FollowedJobs& followed)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    const bool inProgress = clipState == QZ_IN_PROGRESS;
    forEachClipInState(db.get(), clipState, "RecoverInProgress", [&](const std::string& anchor) {
        if (RecoverClip(s, anchor, inProgress, false, followed))
            rescanWhenComplete = true;
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr, 8, nullptr);
        if (inProgress)
            CheckClipCompletion(this, anchor);
    });
}

void CQZClipwatch::RecoverInProgress()
{
    if (!Database())
        LoadDatabase();
    const std::shared_ptr<dbCwsHandle> db = Database();
    // On a shared catalogue the work this host left is taken over as other hosts' is
    // (FollowSharedCatalogue): the other hosts' live work is not touched.
    if (!db || dbCWSSharedCatalogue(db.get()))
        return;
    const CWSSettings s = Settings();
    // The jobs are queued inside the write batches. Abort All holds the job list while it
    // writes, so the list is taken first here too: the same order, never a deadlock.
    QMutexLocker jobsLocked(checkThread.jobList.lock());
    // At the end of a clip search jobs may be running: they are followed already.
    FollowedJobs followed;
    for (const QString& job : checkThread.jobList.snapshot()) {
        const JobRequest request = parseJobString(job);
        followed.insert({request.source, request.elementCode});
    }
    RecoverClipsInState(s, QZ_IN_PROGRESS, followed);
    RecoverClipsInState(s, QZ_WAIT_PROCESS, followed);
    dbCWSMoveClipStates(db.get(), 8, QZ_IN_PROGRESS);
}

void CQZClipwatch::ResetCompletion()
{
    ErrOut("\nCWS:ResetCompletion ");
    if (!Database())
        LoadDatabase();
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!db)
        return;
    resetCompletionRequested = false;
    forEachClipInState(db.get(), QZ_FINISHED, "ResetCompletion", [&](const std::string& anchor) {
        Show(StateLabel, QString("Clearing Processes...%1").arg(QString::fromStdString(anchor)));
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, "", "", 0, "");
    });
    const int current = state;
    if (current != cwsFindDirectories && current != cwsFindClips) {
        LogClipsFound();
        SaveAutoStart(number_, true);
        ChangeState(cwsProcessingClips);
    }
    LoadDatabase();
}
