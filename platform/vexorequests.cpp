// URL templates of the VexoBase service requests, each written once, their builders, and the
// sending of one request.
#include "platform/vexorequests.h"

#include "platform/qzhttp.h"

#include <cstdarg>
#include <cstdio>

namespace
{

std::string format(const char* templateText, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* templateText, ...)
{
    va_list args;
    va_start(args, templateText);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, templateText, measure);
    va_end(measure);
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, templateText, args);
    va_end(args);
    return text;
}

const char* jobTemplate(VexoJob job)
{
    switch (job) {
    case VexoJob::Xmp:
        return "http://%s/vexojson?request=set&client=%s&command=copy&source=%s&target=%s"
               "&profile=xmp";
    case VexoJob::Rtin:
        return "http://%s/vexojson?request=set&client=%s&command=copy&source=%s&target=%s"
               "&profile=index&absin=0&absout=-1";
    case VexoJob::Wrap:
        return "http://%s/vexojson?request=set&client=%s&command=copy&source=%s&target=%s"
               "&profile=wrap&group=1";
    case VexoJob::Md5:
        break;
    }
    return "http://%s/vexojson?request=set&client=%s&command=copy&source=%s&target=%s"
           "&profile=md5";
}

} // namespace

std::string vexoServiceAuthority(const std::string& host)
{
    const size_t colon = host.find(':');
    const bool hasPort =
        colon != std::string::npos && host.find(':', colon + 1) == std::string::npos;
    return hasPort ? host : host + ":" + std::to_string(kVexoPort);
}

std::string vexoJobRequest(VexoJob job, const std::string& host, const std::string& client,
                           const std::string& source, const std::string& target)
{
    return format(jobTemplate(job), vexoServiceAuthority(host).c_str(), client.c_str(),
                  source.c_str(), target.c_str());
}

std::string vexoPiconRequest(const std::string& host, const std::string& client,
                             const std::string& source, const std::string& target, int width,
                             int frame, int quality)
{
    return format("http://%s/vexojson?request=set&client=%s&command=copy&pisrc=%s&pidst=%s"
                  "&profile=picon&width=%d&piframe=%d&piquality=%d",
                  vexoServiceAuthority(host).c_str(), client.c_str(), source.c_str(),
                  target.c_str(), width, frame, quality);
}

std::string vexoCompRequest(const std::string& host, const std::string& client,
                            const std::string& source, const std::string& target,
                            const std::string& profile, int kiloBitRate, int height, int width)
{
    std::string url = format("http://%s/vexojson?request=set&client=%s&command=copy"
                             "&source=%s&target=%s&profile=%s&kilobitrate=%d",
                             vexoServiceAuthority(host).c_str(), client.c_str(), source.c_str(),
                             target.c_str(), profile.c_str(), kiloBitRate);
    if (height >= 1)
        url += format("&height=%d", height);
    if (width >= 1)
        url += format("&width=%d", width);
    return url;
}

std::string vexoStalledAbortRequest(const std::string& host, const std::string& client,
                                    const std::string& source, const std::string& target,
                                    const std::string& profile)
{
    return format("http://%s/vexojson?request=set&client=%s&command=copy&source=%s"
                  "&target=%s&profile=%s&group=1&abort=1&clear=1",
                  vexoServiceAuthority(host).c_str(), client.c_str(), source.c_str(),
                  target.c_str(), profile.c_str());
}

std::string vexoAddressRequest(const std::string& host, const std::string& client)
{
    return format("http://%s/vexojson?request=address&client=%s&group=0&channel=0",
                  vexoServiceAuthority(host).c_str(), client.c_str());
}

std::string vexoPurgeAllRequest(const std::string& host)
{
    return format("http://%s/vexo?request=set&client=all&command=copy&complete=1&purge=1",
                  vexoServiceAuthority(host).c_str());
}

std::string vexoProbeRequest(const std::string& host)
{
    return format("http://%s/vexojson?request=get&client=%s&group=0",
                  vexoServiceAuthority(host).c_str(), host.c_str());
}

std::string vexoJobString(const std::string& url, const std::string& elementWord, bool sent)
{
    return url + "&type=" + elementWord + (sent ? "" : "&cwstimeout=10");
}

std::string vexoPurgeRequest(const std::string& statusUrl)
{
    std::string url = statusUrl;
    const size_t mark = url.find(kVexoQueryMark);
    const size_t get = mark == std::string::npos ? mark : url.find("request=get", mark);
    if (get != std::string::npos)
        url.replace(get, 11, "request=set");
    return url + "&purge=true";
}

std::optional<std::string> vexoSendRequest(const std::string& url, uint32_t timeoutMs)
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
