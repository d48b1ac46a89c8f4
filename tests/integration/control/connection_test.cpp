// The control connection against a real controller on 127.0.0.1:6216: the greeting, framed
// requests and their XML replies byte for byte, split and joined frames, a refused connection
// and a drop followed by a reconnect.
#include "tests/unit/control/programfixture.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace
{

const QString kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<clipwatch>\n";

class Connection : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        setDatabase(0);
        startProgram();
        // The host answers every ping.
        program->pingCommand = QStringList{
            "sh", "-c", "echo '3 packets transmitted, 3 received, 0% packet loss'", "ping"};
    }

    // Listens, lets the program check the host, and takes its connection and greeting.
    void connectProgram()
    {
        ASSERT_TRUE(server.listen(QHostAddress("127.0.0.1"), 6216)) << "port 6216 taken";
        program->CheckIP();
        ASSERT_TRUE(QTest::qWaitFor([this] { return server.hasPendingConnections(); }, 10000));
        peer.reset(server.nextPendingConnection());
        greeting = readUntil(1);
    }

    // Reads until `markers` frame markers have arrived in total since the last read.
    QString readUntil(int markers, int ms = 5000)
    {
        QString text;
        (void)QTest::qWaitFor(
            [&] {
                text += QString::fromUtf8(peer->readAll());
                return text.count("<elf>") >= markers;
            },
            ms);
        return text;
    }

    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    QString greeting;
};

} // namespace

TEST_F(Connection, GreetingAndStatusOnConnecting)
{
    connectProgram();
    EXPECT_TRUE(greeting.contains(QRegularExpression(
        R"(^Clipwatch Connected @ \d\d\.\d\d\.\d\d (AM|PM) \d\d/\d\d/\d{4} 127\.0\.0\.1 : 6216 )"
        R"(From 127\.0\.0\.1 : \d+<elf>$)")))
        << greeting.toStdString();
    EXPECT_EQ(program->connectionStatus, "Connected IP 127.0.0.1");
    EXPECT_EQ(program->connectedFlag, 1);
    EXPECT_EQ(program->ownAddress, "127.0.0.1");
    EXPECT_EQ(logCount("Clipwatch: Connected IP 127.0.0.1 "), 1);
}

TEST_F(Connection, TwoFramesInOneReadAreAnsweredInOrder)
{
    connectProgram();
    peer->write("<elf>CWSCTL01scandir=0&clearerrors&sdims=5<elf>"
                "<elf>CWSCTL01scandir=9&getstate&sdims=6<elf>");
    const QString replies = readUntil(4);
    EXPECT_EQ(replies, "<elf>cwsms=5&cwsxml=" + kHead + "\t<value>0</value>\n</clipwatch>\n<elf>" +
                           "<elf>cwsms=6&&cwsxml=" + kHead +
                           "<return value=\"-3\">-3</return>\n\t<error>noinstance</error>\n"
                           "</clipwatch>\n<elf>");
}

TEST_F(Connection, SplitFrameIsAnsweredOnceAfterItsEnd)
{
    connectProgram();
    peer->write("<elf>CWSCTL01scandir=0&getpicon");
    peer->flush();
    EXPECT_TRUE(readUntil(1, 700).isEmpty());
    peer->write("width&sdims=abc<elf>");
    const QString reply = readUntil(2);
    EXPECT_EQ(reply, "<elf>cwsms=abc&&cwsxml=" + kHead +
                         "<return value=\"0\">0</return>\n\t<piconwidth>120</piconwidth>\n"
                         "</clipwatch>\n<elf>");
    EXPECT_TRUE(readUntil(1, 500).isEmpty()) << "answered once";
}

TEST_F(Connection, CharacterSplitOverTwoReadsArrivesWhole)
{
    connectProgram();
    const QByteArray frame =
        QString("<elf>CWSCTL01scandir=0&getpiconwidth&sdims=\u00e9t\u00e9<elf>").toUtf8();
    const int cut = frame.indexOf('\xa9'); // inside the first two-byte letter
    peer->write(frame.left(cut));
    peer->flush();
    EXPECT_TRUE(readUntil(1, 500).isEmpty());
    peer->write(frame.mid(cut));
    EXPECT_TRUE(readUntil(2).startsWith(QString("<elf>cwsms=\u00e9t\u00e9&&cwsxml=")));
}

TEST_F(Connection, FirstScanDirReportsTheConnection)
{
    connectProgram();
    peer->write("<elf>CWSCTL01getfirstscandir&sdims=1<elf>");
    const QString reply = readUntil(2);
    EXPECT_TRUE(reply.contains("\t<connectionstatus>Connected IP 127.0.0.1</connectionstatus>\n"))
        << reply.toStdString();
}

TEST_F(Connection, RefusedConnectionPingsAgain)
{
    program->CheckIP();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return program->connectionStatus.startsWith("Connected IP 127.0.0.1 "); }, 10000));
    EXPECT_EQ(program->connectionStatus, "Connected IP 127.0.0.1 Connection refused");
    EXPECT_EQ(program->reconnectFlag, 1);
    EXPECT_EQ(program->connectedFlag, 0);
    EXPECT_TRUE(program->checkIPTimer.isActive());
}

TEST_F(Connection, DropIsFollowedByReconnect)
{
    connectProgram();
    // A frame cut short by the drop must not swallow the first frame of the next connection.
    peer->write("<elf>CWSCTL01scandir=0&getpi");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !program->receiveBuffer.isEmpty(); }, 5000));
    peer->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return program->connectedFlag == 0; }, 5000));
    EXPECT_TRUE(program->checkIPTimer.isActive());
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.hasPendingConnections(); }, 10000));
    peer.reset(server.nextPendingConnection());
    EXPECT_TRUE(readUntil(1).startsWith("Clipwatch Connected @ "));
    EXPECT_EQ(program->connectionStatus, "Connected IP 127.0.0.1");
    peer->write("<elf>CWSCTL01scandir=0&getpiconwidth&sdims=2<elf>");
    EXPECT_TRUE(readUntil(2).contains("<piconwidth>120</piconwidth>"));
}
