// The clipwatchctl executable over real TCP on 127.0.0.1, a test socket playing the program; and
// the watch mode's reading of status replies.
#include "control/xmlreply.h"
#include "tests/support/testenv.h"
#include "tools/clipwatchctl/watch.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace
{

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Connects to the tool, retrying while it starts listening.
bool connectTo(QTcpSocket& socket, quint16 port)
{
    for (int i = 0; i < 100; ++i) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(1000))
            return true;
        socket.abort();
        QThread::msleep(50);
    }
    return false;
}

// Reads until `marker` has been seen `count` times.
QString readFrames(QTcpSocket& socket, int count)
{
    QString text;
    while (text.count("<elf>") < count && socket.waitForReadyRead(5000))
        text += QString::fromUtf8(socket.readAll());
    return text;
}

QString sdims(const QString& frame)
{
    const int at = frame.indexOf("sdims=") + 6;
    return frame.mid(at, frame.indexOf("<elf>", at) - at);
}

// Starts clipwatchctl with the one request `request` (none: interactive), connects `program` to
// it as the program would, sends `greeting` and gives the request frame it receives.
QString startAndConnect(QProcess& tool, QTcpSocket& program, const QString& greeting,
                        const QString& request)
{
    const quint16 port = freePort();
    QStringList arguments = {"--port", QString::number(port)};
    if (!request.isEmpty())
        arguments << request;
    tool.start(testenv::buildDir() + "/clipwatchctl", arguments);
    if (!tool.waitForStarted() || !connectTo(program, port))
        return QString();
    program.write(greeting.toUtf8());
    return request.isEmpty() ? QString() : readFrames(program, 2);
}

TEST(ClipwatchCtl, OneShotPrintsTheReplyAndSucceeds)
{
    QProcess tool;
    QTcpSocket program;
    const QString request =
        startAndConnect(tool, program, "Clipwatch Connected @ now<elf>", "scandir=0&getstate");
    ASSERT_TRUE(request.startsWith("<elf>")) << request.toStdString();
    EXPECT_EQ(request.mid(13, 18), "scandir=0&getstate");
    program.write(("<elf>cwsms=" + sdims(request) +
                   "&&cwsxml=<clipwatch>\n\t<state>paused</state>\n</clipwatch>\n<elf>")
                      .toUtf8());
    program.flush();
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()),
              "<clipwatch>\n\t<state>paused</state>\n</clipwatch>\n");
    EXPECT_TRUE(tool.readAllStandardError().contains("Clipwatch Connected @ now"));
}

TEST(ClipwatchCtl, InteractiveModeSendsEachLineAndFailsWhenTheConnectionDrops)
{
    QProcess tool;
    QTcpSocket program;
    ASSERT_TRUE(startAndConnect(tool, program, "hello<elf>", "").isEmpty());
    tool.write("\nscandir=1&getstate\n");
    tool.waitForBytesWritten();
    const QString request = readFrames(program, 2);
    ASSERT_TRUE(request.contains("CWSCTL01scandir=1&getstate&sdims=")) << request.toStdString();
    program.write(("<elf>cwsms=" + sdims(request) + "&cwsxml=<clipwatch/>\n<elf>").toUtf8());
    program.waitForBytesWritten();
    ASSERT_TRUE(tool.waitForReadyRead(5000));
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()), "<clipwatch/>\n");
    // Standard input stays open: the drop alone ends the tool.
    tool.write("scandir=1&getstate\n");
    tool.waitForBytesWritten();
    program.disconnectFromHost();
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 1);
}

TEST(ClipwatchCtl, NoProgramWithinTheTimeoutFails)
{
    QProcess tool;
    tool.start(testenv::buildDir() + "/clipwatchctl",
               {"--port", QString::number(freePort()), "--timeout", "1", "getstate"});
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(tool.readAllStandardError().contains("did not connect"));
}

} // namespace

TEST(Watch, StatusReplyGivesTheProgressLine)
{
    const QString doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<clipwatch>\n"
                        "<return value=\"0\">0</return>\n"
                        "<ScanStatus>1</ScanStatus>\n<totalDirectories>4</totalDirectories>\n"
                        "<totalClips>12</totalClips>\n<clipsCompleted>3</clipsCompleted>\n"
                        "<erroredClips>1</erroredClips>\n<processesWaiting>2</processesWaiting>\n"
                        "<state>state=processingclips</state>\n<operation></operation>\n"
                        "</clipwatch>\n";
    const auto values = control::replyValues(doc);
    EXPECT_EQ(values.value("state"), "state=processingclips");
    EXPECT_TRUE(values.contains("operation"));
    EXPECT_FALSE(ctl::isIdle(values));
    EXPECT_TRUE(ctl::progressLine(0, values).contains("clips 3 completed of 12"));
}

TEST(Watch, IdleNeedsAnIdleStateAndNoWaitingJobs)
{
    EXPECT_TRUE(ctl::isIdle({{"state", "state=complete"}, {"processesWaiting", "0"}}));
    EXPECT_TRUE(ctl::isIdle({{"state", "state=notrunning"}, {"processesWaiting", "0"}}));
    EXPECT_FALSE(ctl::isIdle({{"state", "state=notrunning"}, {"processesWaiting", "3"}}));
    EXPECT_FALSE(ctl::isIdle({{"state", "state=paused"}, {"processesWaiting", "0"}}));
}
