// The clipwatchctl executable over TCP on 127.0.0.1 with a test socket as the program; watch mode.
#include "control/frame.h"
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

// Starts clipwatchctl with `arguments` after its port, connects `program` to it as the program
// would (retrying while the tool starts listening) and sends `greeting`.
bool startAndConnect(QProcess& tool, QTcpSocket& program, const QString& greeting,
                     const QStringList& arguments)
{
    const quint16 port = freePort();
    tool.start(testenv::buildDir() + "/clipwatchctl",
               QStringList{"--port", QString::number(port)} + arguments);
    for (int i = 0; tool.waitForStarted() && i < 100; ++i) {
        program.connectToHost(QHostAddress::LocalHost, port);
        if (program.waitForConnected(1000))
            return program.write(greeting.toUtf8()) > 0;
        program.abort();
        QThread::msleep(50);
    }
    return false;
}

// Answers the next request frame, which must carry `request`, with "state=paused"; the tool must
// print the reply document.
void exchange(QProcess& tool, QTcpSocket& program, const QString& request)
{
    QString buffer;
    control::InboundFrame frame;
    while (!control::takeFrame(buffer, frame) && program.waitForReadyRead(5000))
        buffer += QString::fromUtf8(program.readAll());
    EXPECT_EQ(frame.request, request + "&sdims=" + frame.sdims);
    program.write(control::replyFrame(frame.sdims, 0, std::string("state=paused")).toUtf8());
    program.waitForBytesWritten();
    ASSERT_TRUE(tool.waitForReadyRead(10000));
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()),
              control::replyDocument(0, std::string("state=paused")));
}

TEST(ClipwatchCtl, OneShotPrintsTheReplyAndSucceeds)
{
    QProcess tool;
    QTcpSocket program;
    ASSERT_TRUE(
        startAndConnect(tool, program, "Clipwatch Connected @ now<elf>", {"scandir=0&getstate"}));
    exchange(tool, program, "scandir=0&getstate");
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_TRUE(tool.readAllStandardError().contains("Clipwatch Connected @ now"));
}

TEST(ClipwatchCtl, InteractiveModeSendsEachLineAndFailsWhenTheConnectionDrops)
{
    QProcess tool;
    QTcpSocket program;
    ASSERT_TRUE(startAndConnect(tool, program, "hello<elf>", {}));
    tool.write("\nscandir=1&getstate\n");
    tool.waitForBytesWritten();
    exchange(tool, program, "scandir=1&getstate");
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

TEST(Watch, IdleIsAnEndStateWithNoJobWaiting)
{
    EXPECT_TRUE(ctl::isIdle({{"state", "state=complete"}, {"processesWaiting", "0"}}));
    EXPECT_FALSE(ctl::isIdle({{"state", "state=notrunning"}, {"processesWaiting", "3"}}));
    EXPECT_FALSE(ctl::isIdle({{"state", "state=paused"}, {"processesWaiting", "0"}}));
}

TEST(Watch, ProgressReplyGivesTheBarRateAndTimeLeft)
{
    const auto values = [](QString done, QString total, QString rate, QString secondsLeft) {
        return QMap<QString, QString>{
            {"done", done}, {"total", total}, {"rate", rate}, {"secondsLeft", secondsLeft}};
    };
    const std::pair<QMap<QString, QString>, QString> cases[] = {
        {values("150", "300", "2.000", "100"), "[##########          ] 50% 2.00/s 1:40 left"},
        {values("1", "3", "0.010", "3725"), "[######              ] 33% 0.01/s 1:02:05 left"},
        {values("42", "-1", "12.250", "-1"), "12.25/s"},
        {values("0", "0", "0.000", "-1"), ""},
    };
    for (const auto& [progress, bar] : cases)
        EXPECT_EQ(ctl::progressBar(progress), bar);
}

} // namespace
