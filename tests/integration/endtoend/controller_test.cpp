// The program (offscreen, or --no-window without a display) runs a folder to completion for this
// test's controller on 127.0.0.1:6216, then comes back by itself after the controller drops it.
#include "control/frame.h"
#include "control/xmlreply.h"
#include "tests/integration/endtoend/e2efixture.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace
{

// The parameter: the program runs with --no-window.
class Controller : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        QSettings("Velmora", "Clipwatch").clear();
        ASSERT_TRUE(service.start(200)) << "port 1080 taken";
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 6216)) << "port 6216 taken";
        scanenv::startHeadless(program, GetParam() ? QStringList{"--no-window"}
                                                   : QStringList{"-platform", "offscreen"});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    void TearDown() override { e2e::killHard(program); }

    // Reads the next text the program sends.
    control::Received receive()
    {
        control::Received text;
        EXPECT_TRUE(e2e::waitFor(
            [&] {
                reader.append(QString::fromUtf8(peer->readAll()));
                return reader.next(text);
            },
            10000))
            << "nothing came in";
        return text;
    }

    // Waits for the program's connection and its greeting.
    void accept()
    {
        ASSERT_TRUE(e2e::waitFor([&] { return server.hasPendingConnections(); }, 30000))
            << "the program did not connect";
        peer.reset(server.nextPendingConnection());
        reader = control::FrameReader();
        const control::Received greeting = receive();
        EXPECT_FALSE(greeting.isReply);
        EXPECT_TRUE(greeting.text.contains(QRegularExpression(
            R"(^Clipwatch Connected @ \d\d\.\d\d\.\d\d (AM|PM) \d\d/\d\d/\d{4} 127\.0\.0\.1 : )"
            R"(6216 From 127\.0\.0\.1 : \d+$)")))
            << greeting.text.toStdString();
    }

    // Reads the next reply, which must carry `tag`; its document's values.
    QMap<QString, QString> answer(const QString& tag)
    {
        const control::Received reply = receive();
        EXPECT_TRUE(reply.isReply && reply.tag == tag)
            << tag.toStdString() << ": " << reply.tag.toStdString() << reply.text.toStdString();
        return control::replyValues(reply.text);
    }

    // Sends `request` under a new tag; the reply document's values.
    QMap<QString, QString> ask(const QString& request)
    {
        peer->write(control::requestFrame(request, QString::number(++tags)).toUtf8());
        return answer(QString::number(tags));
    }

    const QString folder = testenv::makeDir("controller"), media = folder + "/media/";
    e2e::Service service;
    QProcess program;
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    control::FrameReader reader;
    int tags = 0;
};

} // namespace

TEST_P(Controller, RunsAFolderToCompletionAndAnswersAgainAfterTheControllerReturns)
{
    for (const char* clip : {"a.mov", "b.mp4", "nested/c.mxf"})
        ASSERT_TRUE(e2e::touch(media + clip));
    ASSERT_NO_FATAL_FAILURE(accept());
    const auto created =
        ask("newscandir=" + media + "&setdatabasemanagement=1&setdatabase=" + folder + "/clips.db");
    EXPECT_EQ(created.value("newscandiradded"), media);
    EXPECT_EQ(created.value("return"), "0");
    EXPECT_EQ(ask("scandir=0&setmakepicon=true").value("setmakepicon"), "true");
    // Two frames in one write, then a third cut inside a two-byte letter of its tag: answered in
    // order, the third once it is whole.
    const QByteArray third = control::requestFrame("getfirstscandir", "\u00e9t\u00e9").toUtf8();
    const int cut = third.indexOf('\xa9');
    peer->write((control::requestFrame("scandir=9&getstate", "a") +
                 control::requestFrame("scandir=0&getpiconwidth", "b"))
                    .toUtf8() +
                third.left(cut));
    EXPECT_EQ(answer("a").value("error"), "noinstance");
    EXPECT_EQ(answer("b").value("piconwidth"), "120");
    peer->write(third.mid(cut));
    const auto first = answer("\u00e9t\u00e9");
    EXPECT_EQ(first.value("firstscandir"), media);
    EXPECT_EQ(first.value("connectionstatus"), "Connected IP 127.0.0.1");
    EXPECT_EQ(ask("scandir=0&start").value("return"), "0");
    QMap<QString, QString> status;
    for (int polls = 0; polls < 400 && status.value("clipsCompleted") != "3"; ++polls) {
        e2e::waitFor([] { return false; }, 500);
        status = ask("scandir=0&getscanstatus");
    }
    ASSERT_EQ(status.value("clipsCompleted"), "3")
        << "last status: " << QStringList(status.values()).join(",").toStdString();
    EXPECT_EQ(status.value("totalClips"), "3");
    EXPECT_EQ(status.value("erroredClips"), "0");
    EXPECT_EQ(status.value("totalDirectories"), "2");
    EXPECT_EQ(status.value("directoryErrors"), "0");

    // A frame cut short by the drop must not swallow the first frame of the next connection.
    peer->write("<elf>CWSCTL01scandir=0&getpi");
    peer->flush();
    e2e::waitFor([] { return false; }, 300);
    peer->disconnectFromHost();
    peer.reset();
    server.close();
    // Two seconds with no controller: the program's attempts are refused meanwhile.
    e2e::waitFor([] { return false; }, 2000);
    ASSERT_EQ(program.state(), QProcess::Running) << "the program ended when the controller left";

    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 6216));
    ASSERT_NO_FATAL_FAILURE(accept());
    EXPECT_EQ(ask("getfirstscandir").value("firstscandir"), media);
    EXPECT_EQ(ask("scandir=0&getclipscompleted").value("getclipscompleted"), "3");
    EXPECT_EQ(program.state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(NoWindow, Controller, ::testing::Bool());
