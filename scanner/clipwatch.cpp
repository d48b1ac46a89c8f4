// Construction and destruction of a scanner instance.
#include "scanner/clipwatch.h"

#include "monitor/stalledjobs.h"
#include "platform/qzlog.h"
#include "platform/qzsync.h"
#include "scanner/extensionlists.h"

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
        statusThread_ = std::thread([this] { _UpdateCount(); });
    } catch (const std::system_error&) {
        statusEnded_ = true;
        ErrFmtOut(QZ_LEVEL_WARNING, 0, 0, "WARNING(CWSscan): %s\n", "Unable to to create thread");
    }
}

CQZClipwatch::~CQZClipwatch()
{
    ErrOut("Clipwatch: ENDING instance=%d ", number_.load());
    keepCounting_ = false;
    state = cwsApplicationExiting;
    recordDirectories = false;
    for (int i = 0; i < 100 && scanThreadRunning; ++i)
        Sleep(10);
    progressElements.clear();
    // The monitor ends once its list is empty; a job it was putting back is cleared again.
    do
        checkThread.jobList.clear();
    while (!checkThread.wait(50));
    for (int i = 0; i < 100 && isRunning() &&
                    !(state == cwsApplicationExiting && previousState == cwsApplicationExiting);
         ++i)
        Sleep(25);
    // A QThread must not be destroyed while it runs: a scan still in a request or a listing is
    // waited for to its end, which it reaches at its next check of the state.
    wait();
    CloseDatabase();
    EndStatusThread();
}
