// Test support for the vexobase service: starts it as a child process on a free port of
// 127.0.0.1, sends requests through the program's HTTP client, and reads replies with the
// program's reply-token rules.
#pragma once

#include <QProcess>
#include <QStringList>

#include <optional>
#include <string>

namespace vexotest
{

// A running vexobase; stopped (SIGTERM, then waited for) on destruction.
class Service
{
public:
    explicit Service(const QStringList& arguments);
    ~Service();

    bool started() const { return port_ > 0; }
    int port() const { return port_; }
    qint64 pid() const { return process_.processId(); }

    // GET of `pathAndQuery` ("/vexojson?...") through the program's own HTTP client.
    // Nothing when no reply came within `timeoutMs`.
    std::optional<std::string> get(const std::string& pathAndQuery, int timeoutMs = 5000) const;
    // Starts a job; true when the reply says "success" and nowhere "fail".
    bool start(const std::string& source, const std::string& target, const std::string& profile,
               const std::string& extra = {}) const;
    // Polls the job until its progress is not between 0 and 9999 or `timeoutMs` passes;
    // returns the last reply.
    std::string waitForEnd(const std::string& source, const std::string& target,
                           const std::string& profile, int timeoutMs = 30000) const;

private:
    QProcess process_;
    int port_ = 0;
};

// The value of `key` read the way the job monitor reads replies: the reply is cut into tokens
// at commas, double quotes and closing braces; the value of the first token equal to `key`
// runs from 3 characters after it to the next double quote.
std::optional<std::string> replyValue(const std::string& reply, const std::string& key);
// The "progress" value as an integer (-100000 when absent).
int progressOf(const std::string& reply);
bool notFound(const std::string& reply);

// The requests of the program: a start, and a request about one job ("get" for its status,
// "set" with "&purge=true" or "&abort=true" added to remove or stop it).
std::string startQuery(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra = {});
std::string jobQuery(const std::string& request, const std::string& source,
                     const std::string& target, const std::string& profile);

} // namespace vexotest
