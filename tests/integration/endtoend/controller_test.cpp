// Controller faults: the real program (offscreen, or with --no-window and no display at all)
// connects out to a controller on 127.0.0.1:6216 played by this test; the controller answers a
// request, then drops the connection and stops listening, and listens again two seconds later.
// The program must come back by itself and answer again.
#include "control/frame.h"
#include "control/xmlreply.h"
#include "tests/integration/endtoend/e2efixture.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace
{

constexpr quint16 kControlPort = 6216;

// The parameter: the program runs with --no-window.
class Controller : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        folder = testenv::makeDir("controller");
        media = folder + "/media/";
        ASSERT_TRUE(e2e::touch(media + "a.mov"));
        e2e::configure(Backend::SQLite, folder, media);
        ASSERT_TRUE(listen()) << "port 6216 taken";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(display);
        if (!GetParam())
            env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(testenv::buildDir() + "/clipwatch",
                      GetParam() ? QStringList{"--no-window"} : QStringList{});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    void TearDown() override
    {
        program.terminate();
        if (!program.waitForFinished(10000))
            e2e::killHard(program);
    }

    bool listen() { return server.listen(QHostAddress::LocalHost, kControlPort); }

    // Waits for the program's connection and its greeting.
    void accept()
    {
        ASSERT_TRUE(e2e::waitFor([&] { return server.hasPendingConnections(); }, 30000))
            << "the program did not connect";
        peer.reset(server.nextPendingConnection());
        reader = control::FrameReader();
        control::Received greeting;
        ASSERT_TRUE(receive(greeting)) << "no greeting";
        EXPECT_FALSE(greeting.isReply);
        EXPECT_TRUE(greeting.text.startsWith("Clipwatch Connected @ "))
            << greeting.text.toStdString();
    }

    // Reads until a whole text has come in.
    bool receive(control::Received& out)
    {
        return e2e::waitFor(
            [&] {
                reader.append(QString::fromUtf8(peer->readAll()));
                return reader.next(out);
            },
            10000);
    }

    // Asks for the first scan directory; the reply document's values.
    QMap<QString, QString> askFirstScanDir(const QString& tag)
    {
        peer->write(control::requestFrame("getfirstscandir", tag).toUtf8());
        peer->flush();
        control::Received reply;
        if (!receive(reply)) {
            ADD_FAILURE() << "no reply";
            return {};
        }
        EXPECT_TRUE(reply.isReply) << reply.text.toStdString();
        EXPECT_EQ(reply.tag, tag);
        return control::replyValues(reply.text);
    }

    QString folder;
    QString media;
    QProcess program;
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    control::FrameReader reader;
};

} // namespace

TEST_P(Controller, ProgramReconnectsAfterTheControllerDropsAndReturns)
{
    ASSERT_NO_FATAL_FAILURE(accept());
    EXPECT_EQ(askFirstScanDir("1").value("firstscandir"), media);

    peer->disconnectFromHost();
    peer.reset();
    server.close();
    // Two seconds with no controller: the program's attempts are refused meanwhile.
    e2e::waitFor([] { return false; }, 2000);
    ASSERT_EQ(program.state(), QProcess::Running) << "the program ended when the controller left";

    ASSERT_TRUE(listen());
    ASSERT_NO_FATAL_FAILURE(accept());
    EXPECT_EQ(askFirstScanDir("2").value("firstscandir"), media);
    EXPECT_EQ(program.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(NoWindow, Controller, ::testing::Bool());
