// The instance's exchanges with the service that are not element jobs: the address request.
#include "scanner/clipwatch.h"

#include "db/dbcws.h"
#include "platform/qzhttp.h"
#include "platform/qzpath.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch_p.h"
#include "vexoutil/iputil.h"

std::optional<std::string> cwsSendRequest(const std::string& url, unsigned timeoutMs)
{
    char* reply = nullptr;
    size_t length = 0;
    if (qzOSHTTPCommand(url.c_str(), kVexoMethod, kVexoHeader, nullptr, 0, &reply, &length,
                        timeoutMs) != 0)
        return std::nullopt;
    std::string text(reply ? reply : "", length);
    QZFree(reply);
    return text;
}

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
        cwsSendRequest(vexoAddressRequest(s.serviceHost, s.cmdip), kVexoAddressTimeoutMs);
    if (!reply || reply->empty())
        return;
    serviceAvailable = 1;
    if (const std::shared_ptr<dbCwsHandle> db = Database())
        dbCWSClearErrors(db.get(), QZ_NETWORK_ERROR);
}
