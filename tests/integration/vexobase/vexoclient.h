// Test support for the vexobase service: a child process on a free port of 127.0.0.1, asked
// through the program's HTTP client, its replies read with the program's reply-token rules.
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
    // Sends SIGTERM; true when the service then ends within `timeoutMs` with exit code 0.
    bool stop(int timeoutMs);

    // GET of `pathAndQuery` ("/vexojson?..."); nothing when no reply came within `timeoutMs`.
    std::optional<std::string> get(const std::string& pathAndQuery, int timeoutMs = 5000) const;
    // Starts a job; true when the reply says "success" and nowhere "fail".
    bool start(const std::string& source, const std::string& target, const std::string& profile,
               const std::string& extra = {}) const;
    // Polls the job until its progress is not between 0 and 9999; returns the last reply.
    std::string waitForEnd(const std::string& source, const std::string& target,
                           const std::string& profile, int timeoutMs = 30000) const;

private:
    QProcess process_;
    int port_ = 0;
};

// The value of `key` as the job monitor reads it: the reply is cut into tokens at commas,
// double quotes and closing braces; the value runs from 3 characters after the first token
// equal to `key` to the next double quote.
std::optional<std::string> replyValue(const std::string& reply, const std::string& key);
int progressOf(const std::string& reply); // -100000 when absent
bool notFound(const std::string& reply);

// A start, and a request about one job ("get"; "set" with "&purge=true" or "&abort=true").
std::string startQuery(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra = {});
std::string jobQuery(const std::string& request, const std::string& source,
                     const std::string& target, const std::string& profile);

} // namespace vexotest
