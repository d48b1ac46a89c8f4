// Test support for the vexobase service: a child process on a free port of 127.0.0.1, asked
// through the program's request sender, its replies read with the program's reply-token rules.
#pragma once

#include "tests/support/scanenv.h"

#include <QDeadlineTimer>
#include <QThread>

#include <optional>
#include <string>

namespace vexotest
{

// The value of `key` as the job monitor reads it: the reply is cut into tokens at commas,
// double quotes and closing braces; the value runs from 3 characters after the first token
// equal to `key` to the next double quote.
inline std::optional<std::string> replyValue(const std::string& reply, const std::string& key)
{
    const char* separators = ",\"}";
    for (size_t begin = 0;
         (begin = reply.find_first_not_of(separators, begin)) != std::string::npos;) {
        const size_t end = std::min(reply.find_first_of(separators, begin), reply.size());
        if (reply.compare(begin, end - begin, key) == 0)
            return end + 3 > reply.size()
                       ? std::string()
                       : reply.substr(end + 3, reply.find('"', end + 3) - (end + 3));
        begin = end;
    }
    return std::nullopt;
}

inline int progressOf(const std::string& reply) // -100000 when absent
{
    const std::optional<std::string> value = replyValue(reply, "progress");
    return value ? std::atoi(value->c_str()) : -100000;
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
    // Starts a job; true when the reply says "success" and nowhere "fail".
    bool startJob(const std::string& source, const std::string& target, const std::string& profile,
                  const std::string& extra = {}) const
    {
        const std::string reply = get(startQuery(source, target, profile, extra)).value_or("");
        return reply.find("success") != std::string::npos &&
               reply.find("fail") == std::string::npos;
    }
    // Polls the job until its progress is not between 0 and 9999; returns the last reply.
    std::string waitForEnd(const std::string& source, const std::string& target,
                           const std::string& profile, int timeoutMs = 30000) const
    {
        QDeadlineTimer deadline(timeoutMs);
        std::string reply;
        do {
            reply = get(jobQuery("get", source, target, profile)).value_or("");
            const int progress = progressOf(reply);
            if (progress < 0 || progress >= 10000 || notFound(reply))
                return reply;
            QThread::msleep(50);
        } while (!deadline.hasExpired());
        return reply;
    }
};

} // namespace vexotest
