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

// The element switches that take part in the clip completion check.
struct CompletionSwitches {
    bool picon, xmp, proxy, mezzanine, rtin, md5, messages, wrap;
};

// The owner's settings that the monitor reads, as they stand when asked.
struct JobSettings {
    std::string serviceHost;     // the service's address
    std::string commandAddress;  // this program's address as the service knows it (cmdip)
    uint32_t maxTranslations;    // progress element capacity ...
    uint32_t maxMD5s;            // ... together with this
    CompletionSwitches switches; // the elements the owner makes
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
    // True while the owner is being destroyed.
    virtual bool Exiting() const = 0;

protected:
    ~JobOwner() = default;
};
