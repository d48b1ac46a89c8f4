// The scanning thread: the loop over the working states, the admission of MD5 and translation
// jobs within the instance's shares, and the end of a scan.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "monitor/completion.h"
#include "platform/qzcpu.h"
#include "platform/qzlog.h"
#include "platform/qzrecurse.h"
#include "platform/qzsync.h"
#include "scanner/clipwatch_p.h"
#include "scanner/elementsettings.h"

#include <algorithm>

namespace
{

constexpr uint32_t kSlowQueryMs = 10;
constexpr int kMD5sPerQuery = 20;
constexpr int kTranslationsPerQuery = 10;
constexpr int kDebugLogJobs = 0x10000000;

// Logs `line` with the milliseconds since `asked` when a query took longer than kSlowQueryMs.
void logSlowQuery(const char* line, uint32_t asked)
{
    const uint32_t took = qzOSGetMs() - asked;
    if (took > kSlowQueryMs)
        ErrOut(line, static_cast<int>(took));
}

void clearSlots(std::vector<dbCwsClipSlot>& work)
{
    for (dbCwsClipSlot& slot : work)
        slot = dbCwsClipSlot();
}

} // namespace

void CQZClipwatch::run()
{
    scanThreadRunning = true;
    slots_.assign(static_cast<size_t>(std::max(MD5Share(), TranslationShare()) + 100),
                  dbCwsClipSlot());
    unsigned pass = 0;
    while (!ScanThreadEnds()) {
        if (!Database()) {
            ReopenLostDatabase();
            Sleep(10);
            continue;
        }
        if (resetCompletionRequested)
            ResetCompletion();
        if (clearErrorsRequested)
            ClearErrors();
        if (abortAllRequested)
            AbortProcesses();
        if (clearProcessesRequested)
            ClearProcesses();
        passStateSets_ = stateSets_;
        const int current = state;
        if (current != previousState) {
            ErrOut("\nStateChange: from<%s> to<%s> ", StateName(previousState), StateName(current));
            previousState = current;
            stateEnteredAt_ = qzOSGetMs();
            Show(StateLabel, QString("State : %1").arg(StateName(current)));
        }
        bool counts = true;
        switch (current) {
        case cwsFindDirectories:
            FindDirectories();
            break;
        case cwsFindClips:
            FindClips();
            break;
        case cwsProcessingClips:
            counts = ProcessClips(Settings(), pass);
            break;
        case cwsWaitingForProcesses:
            WaitForProcesses();
            break;
        case cwsProcessingComplete:
            ProcessingComplete();
            break;
        default:
            Sleep(100);
            break;
        }
        if (counts)
            ++pass;
    }
    slots_.clear();
    slots_.shrink_to_fit();
    scanThreadRunning = false;
}

void CQZClipwatch::FindDirectories()
{
    LoadSettings(number_);
    if (!ScanFolderReady())
        return;
    const CWSSettings s = Settings();
    scanStartedAt_ = qzOSGetMs();
    Show(StateLabel, QString("Scanning %1").arg(QString::fromStdString(s.Dir)));
    ErrOut("\ncwsFindDirectories(%s) ", s.Dir.c_str());
    const std::string root = cwsUniformPath(s.Dir);
    if (!ClaimWalk()) {
        // Another host walks the shared catalogue's tree; this one searches what it records.
        MoveState(cwsFindDirectories, cwsFindClips);
        Sleep(50);
        return;
    }
    const unsigned lost = dbCWSLostStatements(Database().get());
    if (const std::shared_ptr<dbCwsHandle> db = Database()) {
        // The callback is never called for the scan directory itself: a known one is marked
        // here, as the walk marks the others, so that its own files are searched again.
        if (dbCWSAddDirectory(db.get(), root, 0) == 0)
            ++counts[CWS_COUNT_DIRECTORIES];
        else if (fullRescan || !cwsSearchPending(dbCWSGetDirectoryState(db.get(), root)))
            dbCWSUpdateDirectoryCheck(db.get(), root, QZ_FOUND_FILE);
    }
    WalkTree(s.Dir);
    // A walk cut short by a stop, or by the scan folder going away, is done again.
    if (!KeepGoing(Work::Scan) || !ScanFolderReady())
        return;
    const std::shared_ptr<dbCwsHandle> db = Database();
    // Directories the server did not take are recorded by walking again once it answers.
    if (dbCWSLostStatements(db.get()) != lost) {
        WaitForDatabase();
        return;
    }
    if (db) {
        LogDirectoriesFound();
        SaveAutoStart(number_, true);
        MoveState(cwsFindDirectories, cwsFindClips);
    } else {
        WarnNoDatabase();
    }
    // The whole tree is walked: every directory it recorded is ready for the clip search.
    dbCWSMoveDirectoryChecks(db.get(), QZ_FOUND_FILE, 0);
    dbCWSReleaseClaim(db.get(), dbCwsClaimKind::Walk, 0);
    Sleep(50);
}

void CQZClipwatch::FindClips()
{
    if (!ScanFolderReady())
        return;
    if (SearchSettledFolder())
        return;
    std::shared_ptr<dbCwsHandle> db = Database();
    std::string directory;
    const int found = dbCWSSharedCatalogue(db.get())
                          ? dbCWSClaimNextDirectory(db.get(), directory)
                          : dbCWSGetNextDirectoryToCheck(db.get(), directory);
    if (found == 0 && !directory.empty()) {
        SearchDirectory(directory);
        Sleep(10);
        return;
    }
    if (found == 0) {
        const CWSSettings s = Settings();
        std::string message;
        testSqlConnect(static_cast<uint32_t>(s.DBType), message,
                       QString::fromStdString(s.DBUsername), QString::fromStdString(s.DBPassword),
                       QString::fromStdString(s.DBHost), s.DBPort);
        if (!message.empty()) {
            db.reset();
            CloseDatabase();
            LoadDatabase();
            Sleep(10);
            return;
        }
    }
    RecoverInProgress();
    if (Database()) {
        LogClipsFound();
        SaveAutoStart(number_, true);
        MoveState(cwsFindClips, cwsProcessingClips);
    } else {
        WarnNoDatabase();
    }
    Sleep(10);
}

bool CQZClipwatch::ProcessClips(const CWSSettings& s, unsigned pass)
{
    if (GetSystemCpuUsage() > 95) {
        ErrOut("High processor usage");
        Sleep(1000);
        return false;
    }
    if (pass % 5 == 0)
        CheckServiceAddress();
    SearchSettledFolder();
    const unsigned lost = dbCWSLostStatements(Database().get());
    bool started = FollowSharedCatalogue(s);
    if (state != cwsProcessingClips)
        return true;
    // A full share skips its query: its jobs may all end during the sleep, and the pass must
    // not then take "nothing started, nothing running" for "nothing left".
    bool skipped = false;
    if (md5sInProgress >= static_cast<unsigned>(MD5Share())) {
        Sleep(50);
        skipped = true;
    } else if (s.MakeMD5 && serviceAvailable == 1) {
        started = StartMD5s(s) || started;
    }

    const bool anyTranslation = (cwsMadeElements(s) & ~CWS_ELEMENT_MD5) != 0;
    if (translationsInProgress >= static_cast<unsigned>(TranslationShare())) {
        Sleep(50);
        skipped = true;
    } else if (serviceAvailable != 1) {
        if (serviceAvailable == 0)
            CheckServiceAddress();
        if (serviceAvailable == 0) {
            Show(ProcessingLabel, "No VexoBase for processing");
            Show(StateLabel, "No VexoBase for processing");
            Show(DirectoryLabel, QString::fromStdString(s.Dir));
            if (Database()) {
                SaveAutoStart(number_, false);
                MoveState(cwsProcessingClips, cwsNotRunning);
            } else {
                WarnNoDatabase();
            }
            Sleep(1000);
        } else {
            // The service answered: the elements it put back to waiting start next pass.
            skipped = true;
        }
    } else if (anyTranslation) {
        started = StartTranslations(s) || started;
    }

    if (dbCWSLostStatements(Database().get()) != lost) {
        WaitForDatabase(); // the queries may have missed work
        return true;
    }
    if (started || translationsInProgress > 0 || md5sInProgress > 0)
        claimsReleased_ = false;
    if (!started && !skipped && translationsInProgress == 0 && md5sInProgress == 0) {
        const std::shared_ptr<dbCwsHandle> db = Database();
        // Files still being written keep the instance processing until they are clips, and on a
        // shared catalogue so does the other hosts' work, which may yet fall to this one.
        if (settle_.Files() > 0)
            Sleep(200);
        else if (SharedCatalogueBusy())
            Sleep(200);
        else if (db)
            MoveState(cwsProcessingClips, cwsWaitingForProcesses);
        else
            WarnNoDatabase();
        Sleep(50);
    }
    return true;
}

bool CQZClipwatch::StartFromSlots(int share, const std::function<void(dbCwsClipSlot&)>& start)
{
    bool started = false;
    for (size_t i = 0;
         i < slots_.size() && static_cast<int>(i) < share && state == cwsProcessingClips; ++i) {
        dbCwsClipSlot& slot = slots_[i];
        if (slot.anchorPath.empty())
            continue;
        start(slot);
        started = true;
        slot = dbCwsClipSlot();
    }
    return started;
}

bool CQZClipwatch::StartMD5s(const CWSSettings& s)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    const int share = MD5Share();
    clearSlots(slots_);
    const uint32_t asked = qzOSGetMs();
    dbCWSGetNextMD5FileToCheck(db.get(), slots_,
                               std::min(kMD5sPerQuery, share - static_cast<int>(md5sInProgress)));
    logSlowQuery("\nDatabase call dbCWSGetNextMD5sFileToCheck %d ms", asked);
    return StartFromSlots(share, [&](dbCwsClipSlot& slot) {
        Show(StateLabel, QString("Make md5 %1").arg(QString::fromStdString(slot.anchorPath)));
        dbCWSSetElementStatus(db.get(), slot.id, slot.anchorPath, CWS_ELEMENT_MD5, nullptr,
                              "in progress", QZ_IN_PROGRESS, nullptr);
        if (s.DebugOutFlags & kDebugLogJobs)
            ErrOut("MakeMD5=<%s> ", slot.anchorPath.c_str());
        MakeMD5(slot.anchorPath, slot.id != 0, slot.id);
        ++md5sInProgress;
    });
}

bool CQZClipwatch::StartTranslations(const CWSSettings& s)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    const int share = TranslationShare();
    clearSlots(slots_);
    const uint32_t asked = qzOSGetMs();
    dbCWSGetNextFileToCheck(
        db.get(), slots_, cwsMadeElements(s),
        std::min(kTranslationsPerQuery, share - static_cast<int>(translationsInProgress)));
    logSlowQuery("Database call dbCWSGetNextFilesToCheck %d ms", asked);
    bool started = false;
    StartFromSlots(share, [&](dbCwsClipSlot& slot) {
        dbCWSSetElementStatus(db.get(), slot.id, slot.anchorPath, CWS_ELEMENT_CLIP, nullptr,
                              "started", QZ_IN_PROGRESS, nullptr);
        ErrOut("\nCWS: ncwsProcessingClips(%s) %d in progress %d md5's max %d status %d %dms",
               slot.anchorPath.c_str(), static_cast<int>(translationsInProgress.load()),
               static_cast<int>(md5sInProgress.load()), share, state.load(),
               static_cast<int>(qzOSGetMs() - asked));
        const QString anchor = QString::fromStdString(slot.anchorPath);
        Show(StateLabel, QString("Checking %1").arg(anchor));
        Show(DirectoryLabel, anchor);
        started = StartElements(s, slot.anchorPath, slot.id) || started;
    });
    return started;
}

bool CQZClipwatch::StartElements(const CWSSettings& s, const std::string& anchor, int id)
{
    const std::shared_ptr<dbCwsHandle> db = Database();
    dbCwsElementStatus status;
    if (dbCWSGetElementStatus(db.get(), anchor, status) != 0)
        return false;
    bool started = false;
    bool putBack = false;
    const bool send = id != 0;
    for (const dbCwsElement& e : dbCwsElements()) {
        if (!e.startLabel)
            continue;
        // Messages are sent every time their clip comes back, whatever their state.
        const bool messages = e.code == CWS_ELEMENT_NUMBERED0;
        if ((status.state(e.code) != 0 && !messages) || !cwsMakes(s, e))
            continue;
        if (translationsInProgress >= static_cast<unsigned>(TranslationShare())) {
            // Returned again by a later query, when a slot is free.
            dbCWSSetElementStatus(db.get(), id, anchor, CWS_ELEMENT_CLIP, "", "", 0, "");
            putBack = true;
            continue;
        }
        Show(StateLabel, QString(e.startLabel).arg(QString::fromStdString(anchor)));
        // The numbered elements have no job state of their own until they are marked.
        if (e.kind == dbCwsElementKind::Numbered)
            dbCWSSetElementStatus(db.get(), id, anchor, e.code, "in progress", "in progress",
                                  QZ_IN_PROGRESS, nullptr);
        if (s.DebugOutFlags & kDebugLogJobs)
            ErrOut(e.startLine, anchor.c_str());
        ++translationsInProgress;
        started = true;
        if (messages)
            SendMessagesToServer(anchor, send, id);
        else
            RequestByCode(e.code, anchor, send, false, id);
    }
    // A clip with nothing left to start would otherwise stay "started" for ever.
    if (!started && !putBack)
        CheckClipCompletion(this, anchor);
    return started;
}

void CQZClipwatch::WaitForProcesses()
{
    Sleep(100);
    if (translationsInProgress == 0 && md5sInProgress == 0 && checkThread.jobList.isEmpty())
        MoveState(cwsWaitingForProcesses, cwsProcessingComplete);
}

void CQZClipwatch::ProcessingComplete()
{
    const bool haveDatabase = Database() != nullptr;
    if (rescanWhenComplete) {
        if (haveDatabase) {
            fullRescan = true;
            SaveAutoStart(number_, true);
            MoveState(cwsProcessingComplete, cwsFindDirectories);
        } else {
            WarnNoDatabase();
        }
        rescanWhenComplete = false;
    } else {
        if (haveDatabase) {
            SaveAutoStart(number_, false);
            MoveState(cwsProcessingComplete, cwsNotRunning);
        } else {
            WarnNoDatabase();
        }
        Show(StateLabel, "Idle");
    }
    Sleep(1000);
}
