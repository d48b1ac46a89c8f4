// Reply texts of the service: the exact shapes the program relies on.
#include "tools/vexobase/replies.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

namespace vexobase
{

namespace
{

using Pairs = std::initializer_list<std::pair<const char*, std::string>>;

std::string object(Pairs pairs)
{
    std::string out = "{";
    for (const auto& pair : pairs) {
        if (out.size() > 1)
            out += ",";
        out += "\"" + std::string(pair.first) + "\":\"" + replyValue(pair.second) + "\"";
    }
    return out + "}";
}

} // namespace

std::string replyValue(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '"') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            continue;
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string startAccepted()
{
    return object({{"result", "success"}, {"resultstring", "job queued"}});
}

std::string startRefused(const std::string& why)
{
    return object({{"result", "refused"}, {"resultstring", why}});
}

std::string jobStatus(const JobView& job, const std::string& address)
{
    return object({{"progress", std::to_string(job.status.progress)},
                   {"result", std::to_string(job.status.result)},
                   {"resultstring", job.status.resultString},
                   {"source", job.order.key.source},
                   {"target", job.order.key.target},
                   {"profile", job.order.key.profile},
                   {"client", job.order.key.client},
                   {"address", address}});
}

std::string copyNotFound()
{
    return object({{"result", "1"}, {"resultstring", "copy not found"}});
}

std::string purged()
{
    return object({{"result", "0"}, {"resultstring", "purged"}});
}

std::string aborted(const JobView& job)
{
    return object({{"result", "0"},
                   {"resultstring", "aborted"},
                   {"source", job.order.key.source},
                   {"target", job.order.key.target},
                   {"profile", job.order.key.profile}});
}

std::string addressReply(const std::string& address)
{
    return object({{"result", "0"}, {"address", address}, {"channel", "0"}});
}

std::string probeReply(const std::string& address, size_t jobs)
{
    return object({{"result", "0"},
                   {"resultstring", "VexoBase ready"},
                   {"address", address},
                   {"jobs", std::to_string(jobs)}});
}

std::string purgedCompleted(int count)
{
    return object({{"result", "0"}, {"purged", std::to_string(count)}});
}

std::string badRequest(const std::string& why)
{
    return object({{"result", "1"}, {"resultstring", why}});
}

std::string controlDone()
{
    return object({{"result", "0"}});
}

} // namespace vexobase
