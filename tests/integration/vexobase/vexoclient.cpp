// Test support for the vexobase service.
#include "tests/integration/vexobase/vexoclient.h"

#include "tests/support/testenv.h"

#include "platform/qzhttp.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

#include <signal.h>

#include <cctype>
#include <cstring>

namespace vexotest
{

Service::Service(const QStringList& arguments)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(testenv::buildDir() + "/vexobase",
                   QStringList{"--bind", "127.0.0.1", "--port", "0"} + arguments);
    if (!process_.waitForStarted(10000))
        return;
    QDeadlineTimer deadline(10000);
    QByteArray out;
    while (!deadline.hasExpired() && !out.contains('\n')) {
        process_.waitForReadyRead(100);
        out += process_.readAllStandardOutput();
    }
    const QRegularExpressionMatch match =
        QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(QString(out));
    if (match.hasMatch())
        port_ = match.captured(1).toInt();
}

Service::~Service()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(10000))
        process_.kill();
    process_.waitForFinished(2000);
}

std::optional<std::string> Service::get(const std::string& pathAndQuery, int timeoutMs) const
{
    const std::string url = "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
    char* reply = nullptr;
    size_t length = 0;
    if (qzOSHTTPCommand(url.c_str(), "GET", "Content-Type:application/xml", nullptr, 0, &reply,
                        &length, static_cast<uint32_t>(timeoutMs)) != 0)
        return std::nullopt;
    std::string text(reply, length);
    QZFree(reply);
    return text;
}

std::string Service::waitForEnd(const std::string& statusQuery, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    std::string reply;
    do {
        reply = get(statusQuery).value_or("");
        const int progress = progressOf(reply);
        if (progress < 0 || progress >= 10000 || hasToken(reply, "copy not found"))
            return reply;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return reply;
}

namespace
{

struct Token {
    size_t begin;
    size_t end;
};

std::vector<Token> tokensOf(const std::string& reply)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < reply.size()) {
        const size_t begin = reply.find_first_not_of(",\"}", i);
        if (begin == std::string::npos)
            break;
        const size_t end = std::min(reply.find_first_of(",\"}", begin), reply.size());
        tokens.push_back({begin, end});
        i = end;
    }
    return tokens;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

} // namespace

std::optional<std::string> replyValue(const std::string& reply, const std::string& key)
{
    for (const Token& token : tokensOf(reply)) {
        if (!equalsIgnoringCase(reply.substr(token.begin, token.end - token.begin), key))
            continue;
        const size_t begin = token.end + 3;
        if (begin > reply.size())
            return std::string();
        const size_t end = reply.find('"', begin);
        return reply.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    }
    return std::nullopt;
}

bool hasToken(const std::string& reply, const std::string& token)
{
    for (const Token& t : tokensOf(reply))
        if (equalsIgnoringCase(reply.substr(t.begin, t.end - t.begin), token))
            return true;
    return false;
}

int progressOf(const std::string& reply)
{
    const std::optional<std::string> value = replyValue(reply, "progress");
    return value ? std::atoi(value->c_str()) : -100000;
}

std::string jobFragments(const std::string& client, const std::string& source,
                         const std::string& target, const std::string& profile)
{
    return "&client=" + client + "&command=copy&source=" + source + "&target=" + target +
           "&profile=" + profile;
}

std::string startQuery(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra)
{
    return "/vexojson?request=set&client=127.0.0.1&command=copy&source=" + source +
           "&target=" + target + "&profile=" + profile + extra + "&flags=timeconversion";
}

std::string statusQuery(const std::string& source, const std::string& target,
                        const std::string& profile)
{
    return "/vexojson?request=get&group=any" + jobFragments("127.0.0.1", source, target, profile);
}

} // namespace vexotest
