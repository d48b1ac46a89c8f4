// The ping half of the reachability check, with a script in place of the ping tool that prints
// a canned summary: found hosts open the control connection (a listener on 127.0.0.1:6216
// stands in for the controller) and schedule the probe; lost ones ping again after 5 s.
#include "tests/unit/ui/windowfixture.h"

#include "tests/support/testenv.h"

#include <QFile>
#include <QLabel>
#include <QTcpServer>
#include <QTest>

namespace
{

// A ping stand-in printing `summary`, that appends its address argument to `calls`.
QStringList fakePing(const QString& folder, const QString& summary)
{
    const QString script = folder + "/ping.sh";
    QFile file(script);
    file.open(QIODevice::WriteOnly);
    file.write(QString("echo \"$1\" >> '%1/calls'\n"
                       "echo 'PING $1 ($1) 56(84) bytes of data.'\n"
                       "echo '--- 127.0.0.1 ping statistics ---'\n"
                       "echo '%2'\n")
                   .arg(folder, summary)
                   .toUtf8());
    return {"/bin/sh", script};
}

QStringList calls(const QString& folder)
{
    QFile file(folder + "/calls");
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class PingCheck : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(controller.listen(QHostAddress("127.0.0.1"), 6216));
        startWindow();
    }
    // Runs one check and waits until the window acted on it: the probe or the next ping is
    // scheduled.
    void check(const QStringList& ping)
    {
        window->probeTimer.stop();
        window->checkIPTimer.stop();
        window->serviceStatus->clear();
        window->pingCommand = ping;
        window->CheckIP();
        EXPECT_EQ(window->connectionStatus, "Checking IP 127.0.0.1");
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return window->probeTimer.isActive() || window->checkIPTimer.isActive(); },
            5000));
    }
    QTcpServer controller;
};

TEST_F(PingCheck, AnyLossBelowTotalOpensTheConnectionAndSchedulesTheProbe)
{
    for (const char* summary : {"3 packets transmitted, 3 received, 0% packet loss, time 2ms",
                                "4 packets transmitted, 3 received, 25% packet loss, time 3ms",
                                "3 packets transmitted, 1 received, 66.6667% packet loss"}) {
        SCOPED_TRACE(summary);
        const int found = logCount("Clipwatch: Host Found 127.0.0.1");
        check(fakePing(folder, summary));
        EXPECT_EQ(logCount("Clipwatch: Host Found 127.0.0.1"), found + 1);
        EXPECT_EQ(window->serviceStatus->text(), "Connecting to Vexobase");
        EXPECT_TRUE(window->probeTimer.isActive());
        EXPECT_EQ(window->probeTimer.interval(), 1000);
        EXPECT_FALSE(window->checkIPTimer.isActive());
    }
    EXPECT_EQ(calls(folder), QStringList({"127.0.0.1", "127.0.0.1", "127.0.0.1"}));
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->connectedFlag == 1; }, 5000));
    EXPECT_TRUE(controller.hasPendingConnections());
    EXPECT_EQ(logCount("Clipwatch: Connected IP 127.0.0.1"), 1);
}

TEST_F(PingCheck, TotalLossPingsAgainAfterFiveSeconds)
{
    check(fakePing(folder, "3 packets transmitted, 0 received, 100% packet loss, time 2ms"));
    EXPECT_EQ(window->connectionStatus, "Host Not Found 127.0.0.1 retry in 5 seconds");
    EXPECT_EQ(window->serviceStatus->text(), "Host not found 127.0.0.1");
    EXPECT_FALSE(window->probeTimer.isActive());
    EXPECT_FALSE(controller.hasPendingConnections());
    ASSERT_TRUE(window->checkIPTimer.isActive());
    EXPECT_EQ(window->checkIPTimer.interval(), 5000);
    EXPECT_GT(window->checkIPTimer.remainingTime(), 4000);

    // When the timer runs out the host is pinged again.
    window->checkIPTimer.start(0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return calls(folder).size() == 2; }, 5000));
}

TEST_F(PingCheck, PingWithoutSummaryCountsAsTotalLoss)
{
    check(fakePing(folder, "ping: unknown host"));
    EXPECT_EQ(window->serviceStatus->text(), "Host not found 127.0.0.1");
    EXPECT_TRUE(window->checkIPTimer.isActive());

    check({folder + "/no-such-ping"});
    EXPECT_EQ(window->connectionStatus, "Host Not Found 127.0.0.1 retry in 5 seconds");
    EXPECT_TRUE(window->checkIPTimer.isActive());
}

TEST_F(PingCheck, SystemPingFindsLoopback)
{
    check(window->pingCommand);
    EXPECT_EQ(window->serviceStatus->text(), "Connecting to Vexobase");
}
