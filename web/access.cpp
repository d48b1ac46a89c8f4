// Request checks of the dashboard (see access.h).
#include "web/access.h"

#include <QHostAddress>
#include <QRandomGenerator>

#include <cstdio>

namespace web
{

namespace
{

// The host name part of a Host header: "127.0.0.1:6280" gives "127.0.0.1", "[::1]:80" "[::1]".
std::string hostName(const std::string& host)
{
    const size_t colon = host.rfind(':');
    if (colon == std::string::npos || host.find(']', colon) != std::string::npos)
        return host;
    return host.substr(0, colon);
}

// A name of this machine's loopback: "localhost", "[::1]" or any 127.x.y.z (a dashboard may
// listen on another loopback address than 127.0.0.1, as each host of a farm on one machine does).
bool isLoopbackName(const std::string& host)
{
    const std::string name = hostName(host);
    return name == "localhost" || name == "[::1]" ||
           (name.rfind("127.", 0) == 0 &&
            QHostAddress(QString::fromStdString(name)).protocol() == QAbstractSocket::IPv4Protocol);
}

// Compares without stopping at the first difference, so the time taken tells nothing.
bool sameSecret(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool hasToken(const AccessRules& rules, const std::string& authorization)
{
    const std::string scheme = "Bearer ";
    return !rules.token.empty() && authorization.compare(0, scheme.size(), scheme) == 0 &&
           sameSecret(authorization.substr(scheme.size()), rules.token);
}

} // namespace

bool isPageAsset(const std::string& path)
{
    return path == "/" || path == "/dashboard.css" || path == "/dashboard.js";
}

int judgeRequest(const AccessRules& rules, const RequestFacts& request)
{
    if (rules.loopback && !isLoopbackName(request.host))
        return 403;
    const bool action = request.method != "GET" && request.method != "HEAD";
    if (action && !request.origin.empty() && request.origin != "http://" + request.host)
        return 403;
    const bool needsToken = action || (!rules.loopback && !isPageAsset(request.path));
    if (needsToken && !hasToken(rules, request.authorization))
        return 401;
    return 0;
}

std::string makeToken()
{
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", QRandomGenerator::system()->generate());
        token += part;
    }
    return token;
}

} // namespace web
