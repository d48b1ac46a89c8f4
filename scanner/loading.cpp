// Opening the instance's database, starting a scan, and the counts and texts shown after a load.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzlog.h"
#include "platform/qzpath.h"
#include "platform/qzsync.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"

#include <cctype>

namespace
{

// The name dbCWSOpen is given: a drive path is reduced to its file name for a server database.
QString databaseName(const CWSSettings& s)
{
    std::string name = s.DataBase;
    if (s.DBType != 1 && name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) &&
        name[1] == ':')
        qzOSSplitPath(s.DataBase, nullptr, nullptr, &name, nullptr);
    return QString::fromStdString(name);
}

// Logs that a start found no database it could open or create; the start's result then.
int refuseStart(const CWSSettings& s, int number)
{
    ErrOut("StartScanning: Unable to open or create database=<%s> instance=%d ", s.DataBase.c_str(),
           number);
    return CQZClipwatch::kStartNoDatabase;
}

std::string connectionError(const CWSSettings& s)
{
    std::string message;
    testSqlConnect(static_cast<uint32_t>(s.DBType), message, QString::fromStdString(s.DBUsername),
                   QString::fromStdString(s.DBPassword), QString::fromStdString(s.DBHost),
                   s.DBPort);
    return message;
}

// `dir` with `separator` appended when it ends in a letter or a digit.
void appendSeparatorAfterName(std::string& dir, char separator)
{
    if (!dir.empty() && std::isalnum(static_cast<unsigned char>(dir.back())))
        dir += separator;
}

// Marks what a run that ended mid-way left in progress as failed, except a directory whose
// search was cut short (its clips were never committed) or that waited for files to settle:
// it is searched again.
void checkLeftInProgress(dbCwsHandle* db)
{
    // On a shared catalogue only this host's own work is looked at again: what other hosts have
    // in progress is live.
    if (dbCWSSharedCatalogue(db)) {
        dbCWSReleaseOwnWork(db);
        return;
    }
    dbCWSMoveDirectoryChecks(db, QZ_IN_PROGRESS, 0);
    dbCWSMoveDirectoryChecks(db, CWS_DIR_SETTLING, 0);
    dwCWSCheckDatabase(db);
}

} // namespace

std::shared_ptr<dbCwsHandle> CQZClipwatch::Database() const
{
    std::lock_guard<std::mutex> lock(databaseMutex_);
    return database_;
}

void CQZClipwatch::CloseDatabase()
{
    std::shared_ptr<dbCwsHandle> closing;
    std::lock_guard<std::mutex> lock(databaseMutex_);
    closing.swap(database_);
}

bool CQZClipwatch::OpenDatabase(const CWSSettings& s, bool create)
{
    if (s.DBType == 1 && !create && !qzOSFileExists(s.DataBase))
        return false;
    uint32_t kindWord = static_cast<uint32_t>(s.DBType);
    if (create)
        kindWord |= CWS_DB_CREATE;
    dbCwsHandle* handle =
        dbCWSOpen(databaseName(s), QString("scanner%1").arg(number_), kindWord,
                  QString::fromStdString(s.DBUsername), QString::fromStdString(s.DBPassword),
                  QString::fromStdString(s.DBHost), s.DBPort);
    if (!handle)
        return false;
    dbCWSShareCatalogue(handle, s.FarmHost, s.ClaimSeconds);
    if (dbCWSSharedCatalogue(handle))
        ErrOut("Database <%s> shared by this host as <%s>, claims held %d s\n", s.DataBase.c_str(),
               s.FarmHost.c_str(), handle->claimSeconds);
    std::lock_guard<std::mutex> lock(databaseMutex_);
    database_.reset(handle, dbCWSClose);
    return true;
}

void CQZClipwatch::RefreshCounts()
{
    dbCwsCounts fresh{};
    if (const std::shared_ptr<dbCwsHandle> db = Database())
        dbCWSGetAllCounts(db.get(), fresh);
    for (size_t i = 0; i < fresh.size(); ++i)
        counts[i] = fresh[i];
    // The catalogue's counts are shown; the shares count this host's own jobs.
    if (dbCWSSharedCatalogue(Database().get())) {
        CountOwnJobs();
        return;
    }
    translationsInProgress =
        static_cast<unsigned>(std::max(0, fresh[CWS_COUNT_PROCESSES_IN_PROGRESS]));
    md5sInProgress = static_cast<unsigned>(std::max(0, fresh[CWS_COUNT_MD5_IN_PROGRESS]));
}

void CQZClipwatch::OpenOrCreateDatabase(const CWSSettings& s)
{
    if (OpenDatabase(s, false)) {
        ErrOut("Database <%s> opened\n", s.DataBase.c_str());
    } else {
        fullRescan = true;
        for (auto& count : counts)
            count = 0;
        SaveAutoStart(number_, false);
        if (OpenDatabase(s, true)) {
            ErrOut("Database <%s> created\n", s.DataBase.c_str());
        } else {
            const std::string error = connectionError(s);
            Show(DatabaseLabel, QString("%1 %2").arg(QString::fromStdString(s.DataBase),
                                                     QString::fromStdString(error)));
            ErrOut("Database <%s> error <%s>\n", s.DataBase.c_str(), error.c_str());
            std::lock_guard<std::mutex> lock(panelMutex_);
            if (listener_.databaseFailed)
                listener_.databaseFailed();
        }
    }
    const std::shared_ptr<dbCwsHandle> db = Database();
    if (dbCWSSharedCatalogue(db.get())) {
        dbCWSClearFailedMD5s(db.get());
    } else if (db) {
        ErrOut("ClearInProgress(%s)\n", s.DataBase.c_str());
        dbCWSClearInProgress(db.get(), ~0u);
    }
}

int CQZClipwatch::LoadDatabase()
{
    CheckServiceAddress();
    const CWSSettings s = Settings();
    if (s.DataBase.empty())
        return 0;
    Show(StateLabel, "Loading database");
    Show(DatabaseLabel, QString::fromStdString(s.DataBase));
    Show(DirectoryLabel, QString::fromStdString(s.Dir));
    ErrOut("Loading Database\n");
    if (!Database())
        OpenOrCreateDatabase(s);
    if (!checkThread.isRunning() && KeepGoing(Work::Following)) {
        checkThread.owner = this;
        checkThread.start();
    }
    if (Database()) {
        recordDirectories = true;
        Show(StateLabel, "Getting directories");
    }
    RefreshCounts();
    Show(StateLabel, "Database verified");
    ShowCounts(true, true, true);
    ErrOut("Database verified\n");
    SaveSettings(number_);
    Show(StateLabel, "Idle");
    return 0;
}

int CQZClipwatch::StartScanning()
{
    const bool fresh = state == cwsNotRunning && previousState == cwsNotRunning && !Database();
    if (fresh) {
        SaveSettings(number_);
        const CWSSettings s = Settings();
        // Every service is purged, unless hosts that share their catalogue share the services.
        services_.Use(s.ServiceHosts, s.serviceHost);
        if (s.FarmHost.empty())
            for (const std::string& service : services_.Addresses())
                vexoSendRequest(vexoPurgeAllRequest(service), kVexoTimeoutMs);
        SetState(cwsNotRunning);
        if (s.DataBase.empty()) {
            ErrOut("StartScanning:  Error, database name not specified");
            return -1;
        }
        if (ScanDirectoryMissing()) {
            ErrOut("StartScanning:  Error, scan directory not specified");
            return -2;
        }
        UpdateSettings([](CWSSettings& r) {
            for (std::string* dir : {&r.Dir, &r.PiconDir, &r.XMPDir, &r.ProxyDir, &r.MezzanineDir,
                                     &r.ErrorCopyDirectory})
                appendSeparatorAfterName(*dir, r.Separator);
        });
        const CWSSettings started = Settings();
        ErrOut("StartScanning: dir=<%s>, db=<%s>, instance=%d ", started.Dir.c_str(),
               started.DataBase.c_str(), number_.load());
        CheckServiceAddress();
        if (!Database() && OpenDatabase(started, false) && started.DBType != 1)
            UpdateSettings([](CWSSettings& r) { r.DBType = 2; });
        if (const std::shared_ptr<dbCwsHandle> db = Database()) {
            fullRescan = false;
            checkLeftInProgress(db.get());
        } else {
            fullRescan = true;
            for (auto& count : counts)
                count = 0;
            if (!OpenDatabase(started, true)) {
                Show(DatabaseLabel,
                     QString("%1 %2").arg(QString::fromStdString(started.DataBase),
                                          QString::fromStdString(connectionError(started))));
                return refuseStart(started, number_);
            }
        }
        recordDirectories = true;
        RecoverInProgress();
        ChangeState(cwsFindDirectories);
        scanStartedAt_ = qzOSGetMs();
        ErrOut("Scanner started\n");
        StartScanThread();
        return 0;
    }
    if (!Database() && !scanThreadRunning) {
        const CWSSettings s = Settings();
        OpenOrCreateDatabase(s);
        if (!Database())
            return refuseStart(s, number_);
    }
    const std::shared_ptr<dbCwsHandle> db = Database();
    // On a shared catalogue what runs may be other hosts' live work: this host's own is taken
    // over through its claims instead (checkLeftInProgress).
    const auto clearRunning = [&db] {
        if (db && !dbCWSSharedCatalogue(db.get()))
            dbCWSClearRunning(db.get(), true, true, true, true, true, true, true);
    };
    switch (state.load()) {
    case cwsNotRunning:
    case cwsProcessingComplete:
        recordDirectories = true;
        fullRescan = false;
        clearRunning();
        RefreshCounts();
        if (db)
            checkLeftInProgress(db.get());
        ChangeState(cwsFindDirectories);
        scanStartedAt_ = qzOSGetMs();
        break;
    case cwsFindDirectories:
    case cwsFindClips:
    case cwsProcessingClips:
        // Sent here from idle (a resume or a start at processing): nothing runs, so what the
        // last run left in progress is reset, as on every other start.
        if (previousState == cwsNotRunning) {
            clearRunning();
            if (db)
                checkLeftInProgress(db.get());
        }
        rescanWhenComplete = true;
        break;
    case cwsProcessingPaused:
    case cwsProcessingResume:
    case cwsProcessingStopped:
        // Marks the thread as running so that the resume below does not start it a second time.
        scanThreadRunning = true;
        SetState(cwsProcessingResume);
        rescanWhenComplete = true;
        RefreshCounts();
        Sleep(500);
        break;
    default:
        break;
    }
    StartScanThread();
    return 0;
}

bool CQZClipwatch::ScanDirectoryMissing() const
{
    const std::string dir = Settings().Dir;
    return dir.empty() ||
           dir == QString("Instance %1 invalid - no directory").arg(number_).toStdString();
}

void CQZClipwatch::StartScanThread()
{
    std::lock_guard<std::mutex> lock(startMutex_);
    if (threadActive_)
        return;
    wait(); // a run() that has decided to end
    threadActive_ = true;
    scanThreadRunning = true;
    start();
}

bool CQZClipwatch::ScanThreadEnds()
{
    if (KeepGoing(Work::Scan))
        return false;
    std::lock_guard<std::mutex> lock(startMutex_);
    if (KeepGoing(Work::Scan))
        return false;
    threadActive_ = false;
    return true;
}
