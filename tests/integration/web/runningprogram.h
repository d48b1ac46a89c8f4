// The program as the dashboard tests meet it: `clipwatch --no-window` with two instances scanned
// to the end against the simulated service, connected to this test's controller on port 6216,
// and its dashboard on a free port of 127.0.0.1.
#pragma once

#include "control/xmlreply.h"
#include "tests/integration/endtoend/e2efixture.h"
#include "tools/clipwatchctl/controller.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <QString>
#include <QTcpServer>

#include <string>

namespace dashboardtest
{

// A scanned clip whose file name is markup, with a handler that would retitle the page.
inline const char kHostileName[] =
    "<img src=x onerror=document.title=document.domain>-vexofault-fail.mov";
// The reason the simulated service gives for the clips that fail by their name's marker.
inline const char kFailureReason[] = "simulated failure";

// The program stays after its scans (no --until-idle); e2e::Driver's end kills it.
class RunningProgram : public e2e::Driver
{
public:
    // Starts everything and waits until both instances have settled; why it could not, or "".
    std::string start()
    {
        folder = testenv::makeDir("dashboard");
        {
            QTcpServer spare; // closed again for the program
            spare.listen(QHostAddress::LocalHost, 0);
            port = spare.serverPort();
        }
        // Instance 0 on media0/, instance 1 as it on media1/, the dashboard on `port`.
        for (int k = 0; k < 2; ++k)
            for (const QString& clip : clips[k])
                e2e::touch(QString("%1/media%2/%3").arg(folder).arg(k).arg(clip));
        e2e::configure(Backend::SQLite, folder, folder + "/media0/");
        QSettings store("Velmora", "Clipwatch");
        for (const QString& key : store.allKeys())
            if (key.startsWith("Instance0/"))
                store.setValue("Instance1/" + key.mid(10), store.value(key));
        store.setValue("Instance1/Dir", folder + "/media1/");
        store.setValue("Instance1/DataBase", folder + "/clips1.db");
        store.setValue("DashboardPort", port);
        store.sync(); // before the program reads it
        if (!service.start(100) || !controller.listen(QHostAddress::LocalHost, 6216))
            return "port 1080 or 6216 taken";
        scanenv::startHeadless(process, {"--no-window", "--log", "dashboard", "--start"});
        if (!scanenv::waitForOutput(process, "started", 30000) || !controller.waitForProgram(30000))
            return "the program did not start or connect";
        const QRegularExpressionMatch line =
            QRegularExpression(
                QString("Dashboard at http://127\\.0\\.0\\.1:%1/ token ([0-9a-f]{32})\\n")
                    .arg(port))
                .match(testenv::readLog("dashboard"));
        if (!line.hasMatch())
            return "no dashboard line in the log";
        token = line.captured(1).toStdString();
        EXPECT_EQ(
            QSettings("Velmora", "Clipwatch").value("DashboardToken").toString().toStdString(),
            token);
        return e2e::waitFor([&] { return settled(0) && settled(1); }, 120000)
                   ? ""
                   : "the scans did not settle";
    }

    // The values of the protocol's reply to `request`.
    QMap<QString, QString> ask(const QString& request)
    {
        const std::optional<QString> reply = controller.request(request, 10000);
        EXPECT_TRUE(reply) << "no reply to " << request.toStdString();
        return reply ? control::replyValues(*reply) : QMap<QString, QString>();
    }
    // The protocol's state word of the instance ("paused", ...), without the status text.
    QString state(int instance)
    {
        return ask(QString("scandir=%1&getstate").arg(instance)).value("state").section('[', 0, 0);
    }
    // An HTTP client of the dashboard.
    httplib::Client client() const
    {
        httplib::Client http("127.0.0.1", port);
        http.set_read_timeout(30);
        return http;
    }

    int port = 0;      // the dashboard's port
    std::string token; // from the log line that names the dashboard
    QString folder;    // the test's folder: media0/ and media1/, the databases

private:
    // Clips of each instance's scan folder; the marked ones fail on the simulated service.
    const QStringList clips[2] = {
        {"a.mov", "sub/b.mp4", "bad-vexofault-fail.mov", QString("sub/") + kHostileName},
        {"c.mov", "d/e.mxf"},
    };

    // Every clip of the instance counted, complete or failed, and no job left.
    bool settled(int instance)
    {
        const QMap<QString, QString> s = ask(QString("scandir=%1&getscanstatus").arg(instance));
        const auto number = [&s](const char* name) { return s.value(name, "-1").toInt(); };
        const int total = clips[instance].size();
        return number("totalClips") == total &&
               number("clipsCompleted") + number("erroredClips") == total &&
               number("processes") == 0 && number("processesMD5") == 0 &&
               number("processesWaiting") == 0;
    }

    e2e::Service service;
    ctl::Controller controller;
};

} // namespace dashboardtest
