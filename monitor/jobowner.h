// JobOwner: what the job monitor and the clip completion check need of the instance whose jobs
// they follow. The scanner instance implements it; monitor/ knows nothing else of the instance.
// Called on the monitor's thread and, for the completion check, on the scanning thread.
#pragma once

#include "monitor/joblist.h"
#include "monitor/progresselements.h"

#include <cstdint>
#include <memory>
#include <string>

struct dbCwsHandle;

// The work that asks the owner whether to go on.
enum class Work {
    Scan,      // the walk, the clip search and the processing loop: end at a stop or the end
    Following, // the status counts and the job monitor: end only with the owner
};

// The owner's settings that the monitor reads, as they stand when asked.
struct JobSettings {
    std::string serviceHost;    // the service's address (a job's own is in its job string)
    std::string commandAddress; // this program's address as the service knows it (cmdip)
    uint32_t maxTranslations;   // progress element capacity ...
    uint32_t maxMD5s;           // ... together with this
    unsigned madeElements;      // codes of the elements the owner makes, as a bit set
};

class JobOwner
{
public:
    // The open database, held by the caller while it works; null when none is open.
    virtual std::shared_ptr<dbCwsHandle> Database() const = 0;
    // Opens the database when none is open (and refreshes the owner's counts).
    virtual void ReloadDatabase() = 0;
    virtual JobSettings JobSettingsNow() const = 0;
    // The progress of the jobs followed (own mutex).
    virtual ProgressElements& JobProgress() = 0;
    // The job strings being followed (own mutex).
    virtual QStringListThreadSafe& Jobs() = 0;
    // Records the count of failed clips after the completion check changed it.
    virtual void SetFailedClipCount(int count) = 0;
    // The one cancel check: whether work of `kind` goes on.
    virtual bool KeepGoing(Work kind) const = 0;
    // Counts a followed job that ended (done, failed or lost) and left the list.
    virtual void JobEnded() = 0;

protected:
    ~JobOwner() = default;
};
