// Test support for the vexobase service.
#include "tests/integration/vexobase/vexoclient.h"

#include "tests/support/testenv.h"

#include "platform/qzhttp.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

#include <signal.h>

namespace vexotest
{

Service::Service(const QStringList& arguments)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(testenv::buildDir() + "/vexobase",
                   QStringList{"--bind", "127.0.0.1", "--port", "0"} + arguments);
    QDeadlineTimer deadline(10000);
    QByteArray out;
    while (process_.waitForStarted(10000) && !deadline.hasExpired() && !out.contains('\n')) {
        process_.waitForReadyRead(100);
        out += process_.readAllStandardOutput();
    }
    const QRegularExpressionMatch match =
        QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(QString(out));
    port_ = match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool Service::stop(int timeoutMs)
{
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    return process_.waitForFinished(timeoutMs) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 0;
}

Service::~Service()
{
    if (process_.state() != QProcess::NotRunning && !stop(10000))
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

bool Service::start(const std::string& source, const std::string& target,
                    const std::string& profile, const std::string& extra) const
{
    const std::string reply = get(startQuery(source, target, profile, extra)).value_or("");
    return reply.find("success") != std::string::npos && reply.find("fail") == std::string::npos;
}

std::string Service::waitForEnd(const std::string& source, const std::string& target,
                                const std::string& profile, int timeoutMs) const
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

std::optional<std::string> replyValue(const std::string& reply, const std::string& key)
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

int progressOf(const std::string& reply)
{
    const std::optional<std::string> value = replyValue(reply, "progress");
    return value ? std::atoi(value->c_str()) : -100000;
}

bool notFound(const std::string& reply)
{
    return replyValue(reply, "resultstring") == "copy not found";
}

std::string startQuery(const std::string& source, const std::string& target,
                       const std::string& profile, const std::string& extra)
{
    return "/vexojson?request=set&client=127.0.0.1&command=copy&source=" + source +
           "&target=" + target + "&profile=" + profile + extra + "&flags=timeconversion";
}

std::string jobQuery(const std::string& request, const std::string& source,
                     const std::string& target, const std::string& profile)
{
    return "/vexojson?request=" + request +
           "&group=any&client=127.0.0.1&command=copy&source=" + source + "&target=" + target +
           "&profile=" + profile;
}

} // namespace vexotest
