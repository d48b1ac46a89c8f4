// CQZClipwatch: one scanner instance. It owns its settings record (the group "Instance<n>" of
// the settings store) and its scanner state. Threads: the main window's thread constructs it and
// calls the setters; the scanning thread reloads the settings when a scan starts. The settings
// record is guarded by its own mutex and read as a copy (Settings()); the state fields are
// atomic, written whole by any thread.
#pragma once

#include "scanner/settingsrecord.h"

#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

class CQZClipwatch : public QThread
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

    // Number of instances in the program, kept by the main window; shares of the job limits
    // and the settings log line divide by it (values below 1 count as 1).
    static std::atomic<int> instanceCount;

    // Creates instance `number` (its settings group "Instance<number>") whose service requests
    // go to `serviceHost`, and loads its settings.
    CQZClipwatch(int number, const std::string& serviceHost);

    int Number() const { return number_; }

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

    // True when the directory `path` is to be skipped: it holds the marker file
    // "Do Not Scan.cws" (not looked for under "s3://"), or it contains, ignoring case, a
    // non-empty part of the ";"-separated SkipDir. Always false when SkipDir is empty.
    int IsSkippedDirectory(const std::string& path) const;

    std::atomic<int> state{cwsNotRunning};         // current scanner state
    std::atomic<int> previousState{cwsNotRunning}; // state before the last change
    std::atomic<bool> recordDirectories{false};    // the walk records new directories

private:
    // Replaces one output directory, appending its separator; then saves.
    void SetOutputDirectory(std::string CWSSettings::*field, const std::string& path);
    // Replaces one text setting; then saves.
    void SetText(std::string CWSSettings::*field, const std::string& value);
    // Lowers the job limits to what the desktop heap allows (record locked by the caller).
    void LimitConcurrentJobs();

    const int number_;                 // instance number, fixed at construction
    mutable std::mutex settingsMutex_; // guards settings_
    CWSSettings settings_;             // the settings record
};
