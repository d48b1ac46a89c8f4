// CQZClipwatch: one scanner instance. It owns its settings record (the group "Instance<n>" of
// the settings store), its database handle, its scanner state and three threads: the scanning
// thread (run(), alive while it scans), the status thread (alive from construction to
// destruction) and the job monitor (checkThread, started by LoadDatabase). The main thread
// constructs it and calls the setters, SetState and StartScanning. The settings record
// is guarded by its own mutex and read as a copy (Settings()); state, counters and flags are
// atomic; the database handle is shared (each user holds a reference while it works, so closing
// never pulls it away from a running statement). Panel texts are kept here as data and handed to
// the listener a window attached; the instance knows no widget.
#pragma once

#include "db/clipbatch.h"
#include "db/clips.h"
#include "db/counting.h"
#include "monitor/checkthread.h"
#include "monitor/jobowner.h"
#include "monitor/progresselements.h"
#include "platform/kinora.h"
#include "scanner/progress.h"
#include "scanner/servicepool.h"
#include "scanner/settingsrecord.h"
#include "scanner/settle.h"

#include <QString>
#include <QThread>

#include <array>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class dbCwsHandle;
class dbCwsWriteBatch;

class CQZClipwatch : public QThread, public JobOwner
{
public:
    // Scanner states; the numbers are exchanged with the command protocol.
    enum State {
        cwsIllegalState = 0,
        cwsNotRunning = 1,
        cwsFindDirectories = 2,
        cwsFindClips = 3,
        cwsProcessingClips = 4,
        cwsProcessingComplete = 5,
        cwsProcessingPaused = 6,
        cwsProcessingResume = 7,
        cwsProcessingStopped = 8,
        cwsWaitingForProcesses = 9,
        cwsApplicationExiting = 10,
        cwsIllegalStateEnd = 11,
    };

    // The panel texts of an instance.
    enum Label {
        StateLabel,           // "State : ...", "Scanning ...", element texts
        DirectoryLabel,       // scan directory or the clip being checked
        ProcessingLabel,      // "Processing %1 + MD5's %2 Complete %3 Errors %4"
        DatabaseLabel,        // database path, or path and connection error
        DirectoryCountsLabel, // "Found %1 Finished %2[ Errors %3]"
        ClipCountLabel,       // "Found %1"
        CompletionLabel,      // "Complete %1[ Errors %2]"
        TimeLeftLabel,        // "About 12 min left", empty while unknown
        LabelCount
    };

    // What a window's panel learns of the instance. Called on whichever thread shows the text,
    // with the panel lock held, so that none comes after DetachPanel returns: a listener posts
    // to its own thread and returns. Either may be empty.
    struct PanelListener {
        std::function<void(Label, const QString&)> textChanged; // a label's new text
        std::function<void()> databaseFailed; // the database can be neither opened nor created
    };

    // Number of instances in the program, kept by its instance registry; shares of the job limits
    // and the settings log line divide by it (values below 1 count as 1).
    static std::atomic<int> instanceCount;

    // Creates instance `number` (its settings group "Instance<number>") whose service requests
    // go to `serviceHost`, and loads its settings.
    CQZClipwatch(int number, const std::string& serviceHost);

    // Logs the end, stops the scanning thread, empties the job list and the progress elements,
    // ends the status thread and closes the database.
    ~CQZClipwatch() override;

    int Number() const { return number_.load(); }
    // Renumbers the instance after an earlier one was removed (main thread); its settings group
    // and log lines follow the new number.
    void SetNumber(int number) { number_ = number; }

    // A copy of the settings record, consistent as a whole.
    CWSSettings Settings() const;

    // Reads group "Instance<number>" into the record (every key's default applies to a missing
    // key), computes the skip and scan extension lists and the job limits, and logs the limits.
    void LoadSettings(int number);
    // Writes the record into group "Instance<number>".
    void SaveSettings(int number);
    // Sets AutoStart and writes only that key.
    void SaveAutoStart(int number, bool on);
    // Removes the group of instance `number`, moving every later group down by one.
    void DeleteInstanceSettings(int number);

    // Applies `change` to the record (the direct assignments of the window and the command
    // protocol), keeps the mezzanine words within their limit, then saves.
    void UpdateSettings(const std::function<void(CWSSettings&)>& change);

    // Setters of the window and the command protocol; all but SetDatabasePath and
    // SetServiceHost save the settings.
    void SetScanDirectory(const std::string& path);
    void SetDatabasePath(const std::string& path);
    void SetPiconDir(const std::string& path);
    void SetProxyDir(const std::string& path);
    void SetMezzanineDir(const std::string& path);
    void SetRtinDir(const std::string& path);
    void SetXMPDir(const std::string& path);
    void SetSkipDir(const std::string& list);
    void SetSkipName(const std::string& list);
    void SetSkipExtensions(const std::string& list);
    void SetProxyCmdFlags(const std::string& text);
    void SetMezzanineCmdFlags(const std::string& text);
    void SetUseOnlyExtensions(const std::string& list);
    void SetDatabaseType(int kind);
    void SetDBHost(const std::string& text);
    void SetDBUsername(const std::string& text);
    void SetDBPassword(const std::string& text);
    void SetDBPort(int port);
    void SetServiceHost(const std::string& address);

    // Panel: a window attaches its listener (told every text kept so far at once) and detaches
    // it before it deletes the labels the listener writes to.
    void AttachPanel(const PanelListener& listener);
    void DetachPanel();
    // The latest text of a label, whether or not a panel is attached.
    QString LabelText(Label label) const;
    // The status text (the state label), read by the command protocol.
    QString StatusText() const { return LabelText(StateLabel); }
    // Empties the status text (the command protocol does after a state request).
    void ClearStatusText();

    // Scanner state (scanner/state.cpp). SetState returns the state now set, or -1 without a
    // database. StateName gives "cwsFindClips" etc.; unknown numbers give "cwsIllegalState".
    int SetState(int requested);
    // The reachability check's resume: SetState(7) when AutoStart is on, unless a pause or a
    // stop requested in this run holds the instance until the next start request.
    void ResumeAutoStart();
    static const char* StateName(int state);
    // This instance's share of MaxMD5s and MaxTranslations among all instances (at least 1),
    // on each service that answers.
    int MD5Share() const;
    int TranslationShare() const;

    // Database (scanner/loading.cpp). LoadDatabase opens the database when none is open and
    // refreshes counts and labels.
    int LoadDatabase();
    // Starts or restarts scanning: 0, -1 without database name, -2 without scan directory,
    // kStartNoDatabase when the database can be neither opened nor created (nothing starts).
    // It never asks: a window asks for the missing name or directory before it starts.
    int StartScanning();
    // True when the scan directory is empty or the placeholder of a missing one.
    bool ScanDirectoryMissing() const;
    static constexpr int kStartNoDatabase = -3;
    // Re-attaches work left in progress (clips in states 2 and 3) at a start.
    void RecoverInProgress();
    // Puts every finished clip back to 0 and sends the instance to processing.
    void ResetCompletion();
    // The open database, held by the caller while it works; null when none is open.
    std::shared_ptr<dbCwsHandle> Database() const override;
    // Whether the instance's catalogue is shared with other hosts (FarmHost on MySQL).
    bool SharesCatalogue() const;
    // The monitor's view of the instance (monitor/jobowner.h; scanner/service.cpp).
    void ReloadDatabase() override;
    JobSettings JobSettingsNow() const override;
    ProgressElements& JobProgress() override { return progressElements; }
    QStringListThreadSafe& Jobs() override { return checkThread.jobList; }
    void SetFailedClipCount(int count) override;
    bool KeepGoing(Work kind) const override;
    void JobEnded() override;
    // Progress of the working phase (scanner/progress.cpp): folders walked (total unknown),
    // folders searched of those recorded, or element jobs ended of those ended and left.
    ProgressFigures Progress() const;
    // Closes the database (users still holding it finish first).
    void CloseDatabase();

    // Sends the address request to every service; one that answers takes jobs again, and any
    // reply sets serviceAvailable and puts elements that failed for want of the network back to
    // waiting.
    void CheckServiceAddress();

    // Clearing (scanner/clearing.cpp), run on the scanning thread through the request flags
    // while it runs. ClearErrors puts failed and unfinished work back to waiting; ClearProcesses
    // puts every element back to waiting, state by state (both return 0); AbortProcesses aborts
    // every job of the monitor's list on the service, resets the elements of the aborted jobs
    // and stops the instance.
    int ClearErrors();
    int ClearProcesses();
    void AbortProcesses();
    // The buttons' and commands' way in: set the request flag while the scanning thread runs,
    // run the operation at once otherwise.
    void RequestClearErrors();
    void RequestClearProcesses();
    void RequestAbortProcesses();

    // Server messages (scanner/servermessages.cpp): sends the messages "Element0" to "Element9"
    // of the settings group for the clip at `anchor` and writes each outcome into its numbered
    // element (record `id`, -1: by anchor path). `send` false sends no HTTP request.
    void SendMessagesToServer(const std::string& anchor, bool send, int id);

    // Directory walk (scanner/walk.cpp): the walk below `root`, its directories recorded in
    // shared commits; and the clip search of one recorded directory, which marks it: searched,
    // waiting for files to settle, or to be searched again when the search was cut short (then
    // false). The caller pauses after it.
    void WalkTree(const std::string& root);
    bool SearchDirectory(const std::string& directory);
    // Files found by the clip search that wait until they have settled (SettleSeconds).
    int SettlingFiles() const { return settle_.Files(); }

    // The scan folder (scanner/scanfolder.cpp). Why it cannot be scanned now, or null when it
    // can: missing, unreadable, or empty while the database holds clips (what an unmounted share
    // leaves behind).
    const char* ScanFolderProblem(const std::string& dir) const;
    // True when the scan folder can be scanned; otherwise logs why (once while it stays away),
    // shows "Scan folder unavailable" and waits kScanFolderLookMs or until the scan stops.
    bool ScanFolderReady();
    static constexpr uint32_t kScanFolderLookMs = 30000;

    // Element job requests (scanner/jobs.cpp, scanner/compfile.cpp). `id` is the clip record
    // ID (-1: addressed by anchor path). MakeCompFile returns 0 (queued), -1 (no reply), -2 (no
    // valid profile) or 1 (refused; the reply is written as the element's reason).
    void MakePicon(const std::string& anchor, int frame, int width, int quality, bool send,
                   bool deleteExisting, int id);
    void MakeXMP(const std::string& anchor, bool send, bool deleteExisting, int id);
    void MakeProxy(const std::string& anchor, bool send, bool deleteExisting, int id);
    void MakeMezzanine(const std::string& anchor, bool send, bool deleteExisting, int id);
    void MakeRtin(const std::string& anchor, bool send, bool deleteExisting, int id);
    void MakeWrap(const std::string& anchor, bool send, bool deleteExisting, int id);
    void MakeMD5(const std::string& anchor, bool send, int id);
    // `target` is given the extension of the profile (the path the job writes).
    int MakeCompFile(const std::string& anchor, std::string& target, int height, int width,
                     int mode, int dataRate, std::string typeWord, const std::string& modeWord,
                     const std::string& audioRouting, bool send, bool deleteExisting);
    // Dispatch of the command protocol by element word; returns 0.
    int MakeElement(const std::string& word, const std::string& anchor);

    // True when the directory `path` is to be skipped: it holds the marker file
    // "Do Not Scan.cws" (not looked for under "s3://"), or it contains, ignoring case, a
    // non-empty part of the ";"-separated SkipDir. Always false when SkipDir is empty.
    int IsSkippedDirectory(const std::string& path) const;

    std::atomic<int> state{cwsNotRunning};             // current scanner state
    std::atomic<int> previousState{cwsNotRunning};     // state before the last change
    std::atomic<bool> recordDirectories{false};        // the walk records new directories
    std::atomic<bool> scanThreadRunning{false};        // run() is active
    std::atomic<int> serviceAvailable{0};              // 1 after the service answered
    std::atomic<bool> fullRescan{false};               // the walk takes every directory as new
    std::atomic<bool> rescanWhenComplete{false};       // rescan instead of going idle at the end
    std::atomic<bool> resetCompletionRequested{false}; // run ResetCompletion on the scan thread
    std::atomic<bool> clearErrorsRequested{false};     // run ClearErrors on the scan thread
    std::atomic<bool> abortAllRequested{false};        // run AbortProcesses on the scan thread
    std::atomic<bool> clearProcessesRequested{false};  // run ClearProcesses on the scan thread
    std::atomic<unsigned> translationsInProgress{0};   // elements in progress, all but MD5
    std::atomic<unsigned> md5sInProgress{0};           // MD5s in progress
    std::array<std::atomic<int>, CWS_COUNT_KINDS> counts{}; // status counts, -1 read as 0

    ProgressElements progressElements; // progress of the jobs the monitor follows (own mutex)
    QCheckThread checkThread;          // the job monitor and its job list

protected:
    // The scanning thread (scanner/thread.cpp).
    void run() override;

private:
    // One pass of each working state of run().
    void FindDirectories();
    void FindClips();
    // Returns false when the pass does not count (high processor load).
    bool ProcessClips(const CWSSettings& s, unsigned pass);
    // Calls `start` for each filled work slot below `share` while the state stays
    // cwsProcessingClips, emptying each; true when any slot was filled.
    bool StartFromSlots(int share, const std::function<void(dbCwsClipSlot&)>& start);
    bool StartMD5s(const CWSSettings& s);
    bool StartTranslations(const CWSSettings& s);
    bool StartElements(const CWSSettings& s, const std::string& anchor, int id);
    void WaitForProcesses();
    void ProcessingComplete();

    // Sets the state, remembering the old one.
    void ChangeState(int newState);
    // The loop's own move from `from` to `to`; false (nothing changed) when the state was set
    // by anyone else since the pass began (even to `from` again), so that a pass never
    // overrides a stop, an exit or a start that came while it worked or slept.
    bool MoveState(int from, int to);
    // SetState's steps for 3 and 4: the time stamp and the log line of the finished phase.
    void LogDirectoriesFound();
    void LogClipsFound();
    // Warns "Can't set state - no database available ".
    static void WarnNoDatabase();
    // False while a MySQL server does not answer (always true for the other kinds).
    bool DatabaseAnswers() const;
    // Waits until the database answers again (or the scan is stopped).
    void WaitForDatabase();
    // Opens a MySQL database again, every few seconds while a scan runs without one.
    void ReopenLostDatabase();

    // Opens the database of the settings (kind word gets CWS_DB_CREATE when `create`).
    bool OpenDatabase(const CWSSettings& s, bool create);
    // LoadDatabase step 4: open or create, report, clear in-progress marks.
    void OpenOrCreateDatabase(const CWSSettings& s);
    // Reads every count from the database (zeros without one) into `counts`.
    void RefreshCounts();
    // Writes the count labels from `counts`.
    void ShowCounts(bool directories, bool clips, bool processing);
    // The Files line: "Found <clips>", and " Settling <files>" while files wait to settle.
    QString ClipCountText() const;
    // The status thread body.
    void _UpdateCount();
    // Ends the status thread within the specified wait.
    void EndStatusThread();
    // Waits for thread `name` through `waitMs` (true once it has ended within the given
    // milliseconds): kThreadEndMs, then, with a caution logged, as long as it takes.
    void endThread(const char* name, const std::function<bool(unsigned long)>& waitMs);
    static constexpr unsigned long kThreadEndMs = 5000;
    // Starts the scanning thread when it is not running (waiting for a run() that is ending).
    void StartScanThread();
    // True, with the thread marked inactive, when run() is to end (state 8 or 10).
    bool ScanThreadEnds();

    // Counts a unit of work of `phase` (a working state) when the instance is in it.
    void CountWork(int phase);
    // Shows the time left of Progress() when its text changed.
    void ShowTimeLeft();
    // Records `text` as the label's text and tells the attached listener.
    void Show(Label label, const QString& text);

    // One element's job start (picon, XMP, RTIN, wrap, MD5), by its code.
    void RequestElement(unsigned code, const std::string& anchor, bool send, bool deleteExisting,
                        int id, int frame = 0, int width = 0, int quality = 0);
    // The request of element `code` (the seven job elements; the picon at PiconFrame, PiconWidth,
    // quality 100).
    void RequestByCode(unsigned code, const std::string& anchor, bool send, bool deleteExisting,
                       int id);
    // Proxy or mezzanine: target, MakeCompFile and the status of its result.
    void RequestCompFile(bool mezzanine, const std::string& anchor, bool send, bool deleteExisting,
                         int id);
    // The services (scanner/service.cpp): the one that takes the next job; one whose job
    // request got no reply (no job goes to it until it answers the address request, and
    // serviceAvailable is 0 until the address request finds any that answers); how many answer
    // (at least 1): the shares of the job limits apply to each.
    std::string ChooseService(const CWSSettings& s);
    void ServiceUnanswered(const std::string& address);
    int AnsweringServices() const;
    // Appends a job string to the monitor's list.
    void QueueJob(const std::string& url, const char* word, bool sent);
    // Logs an "End...=<%s> In progress : %d md5 : %d" line when DebugOutFlags bit 29 is set.
    void LogRequestEnd(const char* format, const std::string& anchor);
    // A file of a directory listing that names a clip, before it is looked up.
    struct ListedClip {
        std::string path;     // the clip's file (a still beside a video stands for the video)
        int fileIndex = 0;    // that file's index in the listing
        std::string clipName; // as recorded
        std::string anchor;   // the clip's anchor path
        bool isShort = false; // a still sequence shorter than MinimumStillLength
        // What was taken of the file with the listing, before the look-up: its stamp on a
        // rescan, where clips are mostly known, or its information on a first scan (nothing
        // when it cannot be read) and the stamp that gives.
        enum class Looked { Nothing, Stamp, Info } looked = Looked::Nothing;
        std::optional<dbCwsFileStamp> stamp;
        std::optional<KnFileInfo> info;
    };
    // The clip that file `index` of a listing names; nothing when it names none.
    static std::optional<ListedClip> ListedClipOf(const CWSSettings& s, const KnListing& listing,
                                                  int index);
    // A folder's listing (null: the folder could not be opened) and the clips it names, their
    // files looked at as `look` says; then with a print of the clips and their files' stamps.
    struct ListedFolder {
        std::shared_ptr<const KnListing> listing;
        std::vector<ListedClip> clips;
        std::string print;
        std::vector<dbCwsFoundClip> found; // the clips looked up ahead, or nothing
    };
    static ListedFolder ListFolder(const CWSSettings& s, const std::string& directory,
                                   ListedClip::Looked look);
    // The listing of `directory`: the one read ahead when it is of that folder and recent,
    // otherwise read now.
    ListedFolder TakeListing(const CWSSettings& s, const std::string& directory);
    // While folders are searched one after another, the folders likely searched after
    // `directory` are listed on pooled threads meanwhile.
    void ListNextFoldersAhead(const CWSSettings& s, const std::string& directory);
    // Records the new clips of `clips` once settled (an unreadable file as failed), and sends
    // recorded ones whose file was replaced since to be made again; false, recording nothing
    // more, when a file cannot be read because the scan folder has gone away. `whole` becomes
    // false when a clip is left for a later search.
    // `foundAhead`, when given, is what a look-up ahead found of `clips`.
    bool RecordClips(const CWSSettings& s, const KnListing& listing, const std::string& sourceDir,
                     std::vector<ListedClip> clips, bool& whole,
                     const std::vector<dbCwsFoundClip>* foundAhead);
    // A recorded clip (`known`) whose file `index`, stamped `now`, no longer has the kept size
    // and time is made again once the file has settled; a clip without a kept stamp is given
    // one. Nothing is done for a file that could not be looked at. False when a replaced file
    // is left for a later search (unsettled, or the clip's jobs running).
    bool RenewIfReplaced(const CWSSettings& s, const KnListing& listing, int index,
                         const std::optional<dbCwsFileStamp>& now, const dbCwsKnownClip& known);
    // WalkTree's visit of directory `path`, its row recorded in `batch`; returns the walk's flags
    // for its subtree.
    uint32_t DirectoryVisited(dbCwsWriteBatch& batch, const std::string& path, uint32_t attributes);
    // Records the clips of `directory` in `batch`; false when the search was cut short because
    // the scan folder went away (the directory is to be searched again). `print` is given the
    // folder's print when it is to be kept: it changed, and no clip was left for later.
    bool CreateClipList(const std::string& directory, dbCwsWriteBatch& batch, std::string& print);
    // Searches a folder whose unsettled files may have settled by now; false when none is due.
    bool SearchSettledFolder();

    // Source and element code of each job the monitor follows.
    using FollowedJobs = std::set<std::pair<QString, int>>;
    // Re-queues the in-progress elements of clips in `clipState` (2 or 3) at start-up, or at the
    // end of a clip search, leaving alone those whose jobs are `followed`.
    void RecoverClipsInState(const CWSSettings& s, int clipState, const FollowedJobs& followed);
    // Re-queues the in-progress elements of the clip at `anchor` (in progress, or waiting for
    // its process when not `inProgress`), asking the service again when `send`, and puts an MD5
    // in progress back to waiting; true when it found any. Elements whose jobs are `followed`
    // run: they are left as they are.
    bool RecoverClip(const CWSSettings& s, const std::string& anchor, bool inProgress, bool send,
                     const FollowedJobs& followed = {});

    // On a catalogue shared with other hosts, once a second: frees directories and takes over
    // clips whose hosts' claims ran out, walks again after a walk that was cut short, and
    // searches one directory waiting for its search. True when it started anything.
    bool FollowSharedCatalogue(const CWSSettings& s);
    // Whether this host walks the tree now: on a shared catalogue only the holder of the walk.
    bool ClaimWalk();
    // This host's own jobs in flight as the share counts, on a shared catalogue.
    void CountOwnJobs();
    // On a shared catalogue, once this host has nothing running or to start: whether it keeps
    // processing because the catalogue still has work that may fall to it.
    bool SharedCatalogueBusy();

private:
    // Replaces one output directory, appending its separator; then saves.
    void SetOutputDirectory(std::string CWSSettings::*field, const std::string& path);
    // Closes the database, applies a change of its settings, reopens it and saves.
    void SetDatabaseSetting(const std::function<void(CWSSettings&)>& change);
    // Replaces one text setting; then saves.
    void SetText(std::string CWSSettings::*field, const std::string& value);
    // Lowers the job limits to what the desktop heap allows (record locked by the caller).
    void LimitConcurrentJobs();

    std::atomic<int> number_;          // instance number: its place in the window's list
    mutable std::mutex settingsMutex_; // guards settings_
    CWSSettings settings_;             // the settings record

    mutable std::mutex databaseMutex_;      // guards database_ (the pointer, not the database)
    std::shared_ptr<dbCwsHandle> database_; // the open database, or null

    mutable std::mutex panelMutex_;         // guards listener_ and texts_
    PanelListener listener_;                // attached by a window's panel
    std::array<QString, LabelCount> texts_; // latest text of every label

    std::atomic<uint32_t> stateEnteredAt_{0};     // clock when the loop saw the last change
    std::atomic<uint32_t> scanStartedAt_{0};      // clock at the scan start
    uint32_t lastReopenAt_ = 0;                   // scanning thread: last reopen attempt
    std::atomic<uint32_t> directoriesFoundAt_{0}; // clock when the walk ended
    std::atomic<uint32_t> clipsFoundAt_{0};       // clock when the clip search ended

    std::vector<dbCwsClipSlot> slots_; // work slots of the scanning thread, while it runs
    SettleWatch settle_;               // folders with files still being written
    bool expectKnown_ = false;         // scanning thread: the last look-up found mostly known clips
    struct FolderAhead {
        std::string directory;
        uint32_t startedAt = 0; // qzOSGetMs when its listing was started
        std::future<ListedFolder> listed;
        std::weak_ptr<dbCwsHandle> lookedUpIn; // the database its clips are looked up in
    };
    std::vector<FolderAhead> ahead_;   // scanning thread: the next folders, listed meanwhile
    uint32_t catalogueFollowedAt_ = 0; // scanning thread: last FollowSharedCatalogue pass
    bool claimsReleased_ = false;      // scanning thread: claims released since work last ran
    ServicePool services_;             // the services that take this instance's jobs

    std::atomic<bool> heldUntilStart_{false}; // paused or stopped by request, not started since
    std::atomic<bool> scanFolderAway_{false}; // the scan folder's absence has been logged
    std::mutex stateMutex_;                   // orders ChangeState against MoveState
    std::atomic<unsigned> stateSets_{0};      // ChangeState calls so far
    unsigned passStateSets_ = 0;              // scanning thread: stateSets_ as its pass began
    std::mutex startMutex_;                   // orders starting run() against its ending
    bool threadActive_ = false;               // run() started and not yet decided to end

    std::future<void> statusThread_; // _UpdateCount
    mutable ProgressMeter progress_; // rate and time left of the working phase (own mutex)
};
