// Construction of a scanner instance.
#include "scanner/clipwatch.h"

#include "platform/qzlog.h"
#include "scanner/extensionlists.h"

CQZClipwatch::CQZClipwatch(int number, const std::string& serviceHost) : number_(number)
{
    ErrOut("Clipwatch: STARTING instance=%d ", number);
    settings_.serviceHost = serviceHost;
    settings_.cmdip = serviceHost;
    // Lists for an instance without a settings group: the built-in skips, every readable type.
    settings_.effectiveSkipList = cwsEffectiveSkipList(std::string(), false);
    settings_.scanExtensions = cwsScanExtensions(settings_.effectiveSkipList, false, std::string());
    LoadSettings(number);
}
