// The scan folder's availability: a scan waits, losing nothing, while its folder is away.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "platform/qzsync.h"

namespace
{
constexpr uint32_t kLookStepMs = 100;
} // namespace

const char* CQZClipwatch::ScanFolderProblem(const std::string& dir) const
{
    switch (qzOSFolderState(dir)) {
    case QzFolderState::Missing:
        return "does not exist";
    case QzFolderState::Unreadable:
        return "cannot be read";
    case QzFolderState::Empty:
        return dbCWSGetFileCount(Database().get()) > 0 ? "is empty while the database holds clips"
                                                       : nullptr;
    case QzFolderState::Filled:
        break;
    }
    return nullptr;
}

bool CQZClipwatch::ScanFolderReady()
{
    const std::string dir = Settings().Dir;
    const char* problem = ScanFolderProblem(dir);
    if (!problem) {
        if (scanFolderAway_.exchange(false))
            ErrOut("\nScan folder available again: %s", dir.c_str());
        return true;
    }
    if (!scanFolderAway_.exchange(true))
        ErrOut("\nScan folder unavailable: %s %s; looking again every %u s", dir.c_str(), problem,
               kScanFolderLookMs / 1000);
    Show(StateLabel, "Scan folder unavailable");
    for (uint32_t waited = 0; waited < kScanFolderLookMs && KeepGoing(Work::Scan);
         waited += kLookStepMs)
        Sleep(kLookStepMs);
    return false;
}
