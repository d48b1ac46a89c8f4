// Server messages of a clip: to a real HTTP server on 127.0.0.1 and to real local programs.
#include "tests/integration/endtoend/e2efixture.h"
#include "tests/support/instancetest.h"

#include <httplib.h>

#include <QFile>
#include <QSettings>
#include <QTcpServer>

#include <thread>

namespace
{

class ServerMessages : public InstanceTest
{
protected:
    void SetUp() override
    {
        InstanceTest::SetUp();
        qzSetHTTPTransport({}); // the messages go out for real
        receiver.Get("/notify", [this](const httplib::Request& request, httplib::Response& reply) {
            std::lock_guard<std::mutex> lock(mutex);
            received.push_back(request.get_param_value("file") + "|" +
                               request.get_param_value("tag"));
            reply.set_content("noted", "text/plain");
        });
        port = receiver.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        listener = std::thread([this] { receiver.listen_after_bind(); });
    }

    void TearDown() override
    {
        InstanceTest::TearDown();
        receiver.stop();
        listener.join();
    }

    QString script(const QString& name, const QString& body)
    {
        const QString path = folder + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // Text, state and error columns of numbered element `n`, joined by "|" (NULL for none).
    std::string element(int n)
    {
        const QString column = QString("COALESCE(Element%1%2, 'NULL')").arg(n);
        const QString sql = "SELECT " + column.arg("") + " || '|' || " + column.arg("State") +
                            " || '|' || " + column.arg("Error") + " FROM Clips";
        return e2e::ClipDb(Backend::SQLite, folder).column(sql).value(0).toStdString();
    }

    std::vector<std::string> receivedRequests()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    const std::string anchor = "/media/my clip.mov";
    httplib::Server receiver;
    int port = 0;
    std::thread listener;
    std::mutex mutex;
    std::vector<std::string> received;
};

TEST_F(ServerMessages, EachMessageIsSentAndItsOutcomeWrittenUpToAnEmptyText)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const int silentPort = closed.serverPort();
    closed.close();
    const QString tag = script("tag", "printf '%s' \"$1\" > \"$(dirname \"$0\")/args\"\nexit 7");
    const QString crash = script("crash", "kill -SEGV $$");
    makeInstance(
        {{"Element0", QString("http://127.0.0.1:%1/notify?file=%FILE_NAME%&tag=x").arg(port)},
         {"Element1", tag + " %CLIP_NAME% %PROXY_NAME%"},
         {"Element2", crash + " %FILE_NAME%"},
         {"Element3", folder + "/missing/program %CLIP_NAME%"},
         {"Element4", QString("http://127.0.0.1:%1/notify?file=%file_name%").arg(silentPort)}});
    dbCWSAddClip(db.get(), "my clip", anchor, "/media/");
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_PROXY, nullptr, "/out/my clip.mp4",
                          QZ_FINISHED, nullptr);
    // Unsent network messages succeed without a request.
    instance->SendMessagesToServer(anchor, false, -1);
    EXPECT_TRUE(receivedRequests().empty());
    EXPECT_EQ(element(0), "|1|Success");
    instance->SendMessagesToServer(anchor, true, -1);

    EXPECT_EQ(receivedRequests(), std::vector<std::string>{anchor + "|x"});
    EXPECT_EQ(element(0), "noted|1|Success");
    EXPECT_EQ(element(1), "my clip /out/my clip.mp4|1|7") << "the script's exit code";
    QFile args(folder + "/args");
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll(), "my clip /out/my clip.mp4") << "one argument: the argument text";
    EXPECT_EQ(element(2), "Crash Exit|4|Crash Exit " + anchor);
    EXPECT_EQ(element(3),
              "Failed To Start|4|Failed To Start " + (folder + "/missing/program").toStdString());
    EXPECT_EQ(element(4), "|4|No response");

    // An empty text ends the list: the messages after it are neither sent nor written.
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.setValue("Instance0/Element0", "");
    store.sync();
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_NUMBERED0 << 1, nullptr, nullptr, 0,
                          "");
    instance->SendMessagesToServer(anchor, true, -1);
    EXPECT_EQ(element(1), "NULL|0|");
}

} // namespace
