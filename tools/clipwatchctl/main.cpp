// clipwatchctl: the controlling host for Clipwatch. Listens (127.0.0.1:6216 by default), waits
// for the program to connect and prints its greeting, then
//   clipwatchctl 'scandir=0&getscanstatus' ...   sends each request and prints each reply;
//   clipwatchctl                                 reads requests from standard input, one a line;
//   clipwatchctl --watch N [request ...]         sends the requests, then shows instance N's
//                                                progress until it is idle.
// The exit status is 0 when every request got a reply.
#include "control/xmlreply.h"
#include "tools/clipwatchctl/controller.h"
#include "tools/clipwatchctl/watch.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace
{

constexpr int kReplyMs = 30000;

// Sends each request and prints each reply document, or (brief) one line per request with the
// reply's return value.
int sendAll(ctl::Controller& controller, const QStringList& requests, bool brief = false)
{
    QTextStream out(stdout);
    int status = 0;
    for (const QString& request : requests) {
        const auto reply = controller.request(request, kReplyMs);
        if (!reply) {
            QTextStream(stderr) << "clipwatchctl: no reply to " << request << "\n";
            status = 1;
            continue;
        }
        if (brief)
            out << request << "  -> " << control::replyValues(*reply).value("return") << "\n";
        else
            out << *reply;
        out << Qt::flush;
    }
    return status;
}

int interactive(ctl::Controller& controller)
{
    QTextStream in(stdin);
    QTextStream out(stdout);
    const bool tty = isatty(STDIN_FILENO);
    int status = 0;
    for (;;) {
        if (tty)
            out << "clipwatch> " << Qt::flush;
        QString line;
        if (!in.readLineInto(&line))
            break;
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line == "quit" || line == "exit")
            break;
        status |= sendAll(controller, {line});
        if (!controller.isConnected()) {
            QTextStream(stderr) << "clipwatchctl: the program disconnected\n";
            return 1;
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("clipwatchctl");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Controlling host for Clipwatch: sends requests, prints replies.");
    parser.addHelpOption();
    parser.addOptions({
        {"bind", "Address to listen on.", "address", "127.0.0.1"},
        {"port", "Port to listen on.", "port", "6216"},
        {"timeout", "Seconds to wait for the program to connect.", "seconds", "60"},
        {"watch", "Show instance N's progress until it is idle.", "N"},
        {"interval", "Milliseconds between progress reads in --watch.", "ms", "1000"},
    });
    parser.addPositionalArgument("request", "Requests to send, such as 'scandir=0&getscanstatus'.");
    parser.process(app);

    ctl::Controller controller;
    if (!controller.listen(QHostAddress(parser.value("bind")), parser.value("port").toUShort())) {
        QTextStream(stderr) << "clipwatchctl: cannot listen: " << controller.errorText() << "\n";
        return 2;
    }
    const auto greeting = controller.waitForProgram(parser.value("timeout").toInt() * 1000);
    if (!greeting) {
        QTextStream(stderr) << "clipwatchctl: the program did not connect\n";
        return 1;
    }
    QTextStream(stderr) << *greeting << "\n";

    const QStringList requests = parser.positionalArguments();
    if (parser.isSet("watch")) {
        if (sendAll(controller, requests, true) != 0)
            return 1;
        return ctl::watchInstance(controller, parser.value("watch").toInt(),
                                  parser.value("interval").toInt());
    }
    if (!requests.isEmpty())
        return sendAll(controller, requests);
    return interactive(controller);
}
