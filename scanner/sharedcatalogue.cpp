// Work on a MySQL catalogue shared with other hosts (FarmHost): the walk, the folders and the
// clips are claimed, and what a host that died had claimed is taken over once its claims run out.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "monitor/completion.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"
#include "scanner/clipwatch_p.h"

#include <QMutexLocker>

namespace
{

constexpr uint32_t kFollowEveryMs = 1000;
constexpr int kClipsTakenAtOnce = 50;

} // namespace

bool CQZClipwatch::SharesCatalogue() const
{
    return dbCWSSharedCatalogue(Database().get());
}

bool CQZClipwatch::ClaimWalk()
{
    // A host that joins a catalogue whose scan is under way takes part in it; a new walk (a
    // rescan) begins once the catalogue's work is done, or when a walk was cut short.
    const std::shared_ptr<dbCwsHandle> db = Database();
    return !dbCWSSharedCatalogue(db.get()) ||
           ((dbCWSWalkLapsed(db.get()) || !dbCWSCatalogueScanning(db.get())) &&
            dbCWSClaim(db.get(), dbCwsClaimKind::Walk, 0));
}

bool CQZClipwatch::FollowSharedCatalogue(const CWSSettings& s)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!dbCWSSharedCatalogue(db.get()) || qzOSGetMs() - catalogueFollowedAt_ < kFollowEveryMs)
        return false;
    catalogueFollowedAt_ = qzOSGetMs();
    if (dbCWSFreeLapsedDirectories(db.get()) > 0)
        ErrOut("\nShared catalogue: directories of a host that stopped are searched again");
    if (dbCWSWalkLapsed(db.get())) {
        // The walk was cut short with its host: it is walked again here. Running jobs go on.
        ErrOut("\nShared catalogue: the walk of a host that stopped is taken over");
        MoveState(cwsProcessingClips, cwsFindDirectories);
        return true;
    }
    const std::vector<dbCwsClipSlot> taken = dbCWSTakeLapsedClips(db.get(), kClipsTakenAtOnce);
    if (!taken.empty()) {
        // The same order as a start-up recovery: the job list first, then the writes.
        QMutexLocker jobsLocked(checkThread.jobList.lock());
        for (const dbCwsClipSlot& clip : taken) {
            ErrOut("\nShared catalogue: clip of a host that stopped taken over: %s",
                   clip.anchorPath.c_str());
            // Which service ran its jobs is not known here: they are asked again.
            RecoverClip(s, clip.anchorPath, clip.complete != QZ_WAIT_PROCESS, true);
            dbCWSSetElementStatus(db.get(), clip.id, clip.anchorPath, CWS_ELEMENT_CLIP, nullptr,
                                  nullptr, QZ_IN_PROGRESS, nullptr);
            CheckClipCompletion(this, clip.anchorPath);
        }
    }
    std::string directory;
    if (dbCWSClaimNextDirectory(db.get(), directory) == 0) {
        SearchDirectory(directory);
        Sleep(10);
        return true;
    }
    return !taken.empty();
}

bool CQZClipwatch::SharedCatalogueBusy()
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (!dbCWSSharedCatalogue(db.get()))
        return false;
    // The clips this host claimed have nothing left to start or follow: they are released, and
    // the queries look once more, so that a clip another host left while this one held it (or
    // one this host put back) is never left behind by every host at once.
    if (!claimsReleased_) {
        dbCWSReleaseClips(db.get());
        claimsReleased_ = true;
        return true;
    }
    return dbCWSCatalogueBusy(db.get());
}

void CQZClipwatch::CountOwnJobs()
{
    const QString md5 = QString("&type=%1").arg(dbCwsFindElement(CWS_ELEMENT_MD5)->word.c_str());
    const QStringList jobs = checkThread.jobList.snapshot();
    unsigned md5s = 0;
    for (const QString& job : jobs)
        if (job.contains(md5))
            ++md5s;
    md5sInProgress = md5s;
    translationsInProgress = static_cast<unsigned>(jobs.size()) - md5s;
}
