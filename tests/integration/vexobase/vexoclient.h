// Test support for the vexobase service: starts it as a child process on a free port of
// 127.0.0.1, sends requests through the program's HTTP client, and reads
// replies with the program's reply-token rules.
#pragma once

#include <QProcess>
#include <QString>
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

    // Polls the job status until its progress is not between 0 and 9999 or `timeoutMs` passes;
    // returns the last reply.
    std::string waitForEnd(const std::string& statusQuery, int timeoutMs = 30000) const;

private:
    QProcess process_;
    int port_ = 0;
};

// The value of `key` read the way the job monitor reads replies: the reply is cut into tokens
// at commas, double quotes and closing braces; the first token equal to `key` (ignoring case)
// is the key, and its value runs from 3 characters after the key to the next double quote.
std::optional<std::string> replyValue(const std::string& reply, const std::string& key);
// True when one token of the reply equals `token` (ignoring case).
bool hasToken(const std::string& reply, const std::string& token);
// The "progress" value as an integer (-100000 when absent).
int progressOf(const std::string& reply);

// The query fragments naming a job, as the program sends them in status requests.
std::string jobFragments(const std::string& client, const std::string& source,
                         const std::string& target, const std::string& profile);
std::string startQuery(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra = {});
std::string statusQuery(const std::string& source, const std::string& target,
                        const std::string& profile);

} // namespace vexotest
