// Test support for the vexobase service: a child process on a free port of 127.0.0.1, asked
// about jobs, its replies read by key.
#pragma once

#include "tests/support/scanenv.h"
#include "tests/support/testenv.h"

#include <optional>
#include <string>

namespace vexotest
{

// The value of `key` in a reply: the service writes every value quoted ("key":"value"), its
// double quotes escaped.
inline std::optional<std::string> replyValue(const std::string& reply, const std::string& key)
{
    const std::string lead = "\"" + key + "\":\"";
    const size_t at = reply.find(lead);
    if (at == std::string::npos)
        return std::nullopt;
    const size_t begin = at + lead.size();
    return reply.substr(begin, reply.find('"', begin) - begin);
}

inline int progressOf(const std::string& reply) // -100000 when absent
{
    return std::atoi(replyValue(reply, "progress").value_or("-100000").c_str());
}

inline bool notFound(const std::string& reply)
{
    return replyValue(reply, "resultstring") == "copy not found";
}

inline std::string startQuery(const std::string& source, const std::string& target,
                              const std::string& profile, const std::string& extra = {})
{
    return "/vexojson?request=set&client=127.0.0.1&command=copy&source=" + source +
           "&target=" + target + "&profile=" + profile + extra + "&flags=timeconversion";
}

// A request about one job ("get"; "set" with "&purge=true" or "&abort=true").
inline std::string jobQuery(const std::string& request, const std::string& source,
                            const std::string& target, const std::string& profile)
{
    return "/vexojson?request=" + request +
           "&group=any&client=127.0.0.1&command=copy&source=" + source + "&target=" + target +
           "&profile=" + profile;
}

// A running vexobase on a free port, asked about jobs.
class Service : public scanenv::Service
{
public:
    explicit Service(const QStringList& arguments) : scanenv::Service(0) { startWith(arguments); }

    bool started() const { return port() > 0; }
    // Starts a job; true when the service took it.
    bool startJob(const std::string& source, const std::string& target, const std::string& profile,
                  const std::string& extra = {}) const
    {
        return replyValue(get(startQuery(source, target, profile, extra)).value_or(""), "result") ==
               "success";
    }
    // Polls the job until its progress is not between 0 and 9999 (none: not found); returns the
    // last reply.
    std::string waitForEnd(const std::string& source, const std::string& target,
                           const std::string& profile, int timeoutMs = 30000) const
    {
        std::string reply;
        testenv::waitFor(
            [&] {
                reply = get(jobQuery("get", source, target, profile)).value_or("");
                return progressOf(reply) < 0 || progressOf(reply) >= 10000;
            },
            timeoutMs);
        return reply;
    }
};

} // namespace vexotest
