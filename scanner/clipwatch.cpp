// Construction and destruction of a scanner instance.
#include "scanner/clipwatch.h"

#include "monitor/stalledjobs.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"
#include "scanner/extensionlists.h"

#include <climits>
#include <system_error>

CQZClipwatch::CQZClipwatch(int number, const std::string& serviceHost)
    : progressElements(StalledJobActions(this), vsyncGetCurMs), number_(number)
{
    ErrOut("Clipwatch: STARTING instance=%d ", number);
    checkThread.owner = this;
    settings_.serviceHost = serviceHost;
    settings_.cmdip = serviceHost;
    // Lists for an instance without a settings group: the built-in skips, every readable type.
    settings_.effectiveSkipList = cwsEffectiveSkipList(std::string(), false);
    settings_.scanExtensions = cwsScanExtensions(settings_.effectiveSkipList, false, std::string());
    LoadSettings(number);
    try {
        statusThread_ = std::async(std::launch::async, [this] { _UpdateCount(); });
    } catch (const std::system_error&) {
        ErrFmtOut(QZ_LEVEL_WARNING, 0, 0, "WARNING(CWSscan): %s\n", "Unable to to create thread");
    }
}

CQZClipwatch::~CQZClipwatch()
{
    ErrOut("Clipwatch: ENDING instance=%d ", number_.load());
    // Every thread of the instance ends at its next KeepGoing().
    state = cwsApplicationExiting;
    recordDirectories = false;
    progressElements.clear();
    checkThread.jobList.clear();
    endThread("scanning", [this](unsigned long ms) { return wait(ms); });
    endThread("job monitor", [this](unsigned long ms) { return checkThread.wait(ms); });
    CloseDatabase();
    EndStatusThread();
}

void CQZClipwatch::endThread(const char* name, const std::function<bool(unsigned long)>& waitMs)
{
    if (waitMs(kThreadEndMs))
        return;
    ErrFmtOut(QZ_LEVEL_CAUTION, 0, 0,
              "CAUTION(CWSscan): instance %d: the %s thread is still in a request or a listing; "
              "waiting for it\n",
              number_.load(), name);
    // A thread that uses this instance cannot be abandoned.
    waitMs(ULONG_MAX);
}
