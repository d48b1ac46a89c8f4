// The ping half of the reachability check, with a script as the ping tool and a listener on
// 127.0.0.1:6216 as the controller.
#include "tests/unit/control/programfixture.h"

#include <QFile>
#include <QTcpServer>

class PingCheck : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(controller.listen(QHostAddress("127.0.0.1"), 6216));
        startProgram();
    }
    int calls() const
    {
        QFile file(folder + "/calls");
        file.open(QIODevice::ReadOnly);
        return file.readAll().count("127.0.0.1\n");
    }
    QTcpServer controller;
};

TEST_F(PingCheck, TotalLossPingsAgainAfterFiveSecondsAnyOtherOpensTheConnection)
{
    const struct {
        const char* summary; // null: no ping tool
        bool found;
    } cases[] = {
        {"3 packets transmitted, 0 received, 100% packet loss, time 2ms", false},
        {"ping: unknown host", false},
        {nullptr, false},
        {"3 packets transmitted, 1 received, +2 errors, 66.6667% packet loss", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.summary ? c.summary : "no ping tool");
        // A ping stand-in printing a header and the summary, noting its address argument.
        program->pingCommand =
            c.summary ? QStringList{"sh", "-c",
                                    QString("echo \"$1\" >> '%1/calls'; "
                                            "echo 'PING $1 ($1) 56(84) bytes of data.'; echo '%2'")
                                        .arg(folder, c.summary),
                                    "ping"}
                      : QStringList{folder + "/no-such-ping"};
        program->probeTimer.stop();
        program->checkIPTimer.stop();
        program->CheckIP();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return program->probeTimer.isActive() || program->checkIPTimer.isActive(); },
            5000));
        EXPECT_EQ(program->probeTimer.isActive(), c.found);
        EXPECT_EQ(program->checkIPTimer.isActive(), !c.found);
        if (c.found) {
            EXPECT_EQ(program->serviceStatus, "Connecting to Vexobase");
            continue;
        }
        EXPECT_EQ(program->connectionStatus, "Host Not Found 127.0.0.1 retry in 5 seconds");
        EXPECT_EQ(program->checkIPTimer.interval(), 5000);
        EXPECT_FALSE(controller.hasPendingConnections());
    }
    EXPECT_EQ(calls(), 3);
    // The found check opens the connection (0% loss: the end-to-end controller test).
    EXPECT_TRUE(QTest::qWaitFor([this] { return program->connectedFlag == 1; }, 5000));
    EXPECT_EQ(logCount("Clipwatch: Connected IP 127.0.0.1"), 1);
    // When the check timer runs out the host is pinged again.
    program->checkIPTimer.start(0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return calls() == 4; }, 5000));
}
