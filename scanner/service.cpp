// The instance's services: the address request, the choice of the service for a job and the
// marking of a service that stopped answering; and the instance as the owner of the jobs its
// monitor follows.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzpath.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"
#include "scanner/elementsettings.h"
#include "vexoutil/iputil.h"

#include <algorithm>

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
    services_.Use(s.ServiceHosts, s.serviceHost);
    bool answered = false;
    for (const std::string& address : services_.Addresses()) {
        const std::optional<std::string> reply =
            vexoSendRequest(vexoAddressRequest(address, s.cmdip), kVexoAddressTimeoutMs);
        const bool answers = reply && !reply->empty();
        services_.SetAnswering(address, answers);
        answered = answered || answers;
    }
    if (!answered)
        return;
    serviceAvailable = 1;
    if (const std::shared_ptr<dbCwsHandle> db = Database())
        dbCWSClearErrors(db.get(), QZ_NETWORK_ERROR);
}

std::string CQZClipwatch::ChooseService(const CWSSettings& s)
{
    services_.Use(s.ServiceHosts, s.serviceHost);
    // One service takes every job: the job list, long while thousands are followed, is not read.
    return services_.Choose(services_.Size() > 1 ? checkThread.jobList.snapshot() : QStringList());
}

void CQZClipwatch::ServiceUnanswered(const std::string& address)
{
    services_.SetAnswering(address, false);
    serviceAvailable = 0;
}

int CQZClipwatch::AnsweringServices() const
{
    return std::max(1, services_.Answering());
}

void CQZClipwatch::ReloadDatabase()
{
    LoadDatabase();
}

JobSettings CQZClipwatch::JobSettingsNow() const
{
    const CWSSettings s = Settings();
    // Every service may hold a full share.
    const int services = std::max(1, services_.Size());
    return {s.serviceHost, s.cmdip, static_cast<uint32_t>(s.MaxTranslations * services),
            static_cast<uint32_t>(s.MaxMD5s * services), cwsMadeElements(s)};
}

void CQZClipwatch::SetFailedClipCount(int count)
{
    counts[CWS_COUNT_ERRORS] = count;
}
