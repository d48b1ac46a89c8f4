// The instance's exchanges with the service that are not element jobs (the address request),
// and the instance as the owner of the jobs its monitor follows.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzpath.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"
#include "scanner/elementsettings.h"
#include "vexoutil/iputil.h"

std::string cwsUniformPath(const std::string& path)
{
    // A local POSIX path is already uniform, and quotes and backslashes are legal in its names:
    // normalising would record a file that does not exist.
    if (!path.empty() && path[0] == '/' && !qzOSIsNetworkSource(path))
        return path;
    return vexoFixSeperators(QString::fromStdString(path)).toStdString();
}

void CQZClipwatch::CheckServiceAddress()
{
    const CWSSettings s = Settings();
    const std::optional<std::string> reply =
        vexoSendRequest(vexoAddressRequest(s.serviceHost, s.cmdip), kVexoAddressTimeoutMs);
    if (!reply || reply->empty())
        return;
    serviceAvailable = 1;
    if (const std::shared_ptr<dbCwsHandle> db = Database())
        dbCWSClearErrors(db.get(), QZ_NETWORK_ERROR);
}

void CQZClipwatch::ReloadDatabase()
{
    LoadDatabase();
}

JobSettings CQZClipwatch::JobSettingsNow() const
{
    const CWSSettings s = Settings();
    return {s.serviceHost, s.cmdip, static_cast<uint32_t>(s.MaxTranslations),
            static_cast<uint32_t>(s.MaxMD5s), cwsMadeElements(s)};
}

void CQZClipwatch::SetFailedClipCount(int count)
{
    counts[CWS_COUNT_ERRORS] = count;
}
