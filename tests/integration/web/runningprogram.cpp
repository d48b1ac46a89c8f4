// The running program of the dashboard tests (see runningprogram.h).
#include "tests/integration/web/runningprogram.h"

#include "control/xmlreply.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>

namespace dashboardtest
{

const char kHostileName[] = "<img src=x onerror=document.title=document.domain>-vexofault-fail.mov";
const char kFailureReason[] = "simulated failure";

namespace
{

// Clips of each instance's scan folder; the marked ones fail on the simulated service.
const QStringList kClips[] = {
    {"a.mov", "sub/b.mp4", "bad-vexofault-fail.mov", QString("sub/") + kHostileName},
    {"c.mov", "d/e.mxf"},
};

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void configure(const QString& folder, int port)
{
    for (int k = 0; k < 2; ++k)
        for (const QString& clip : kClips[k])
            e2e::touch(QString("%1/media%2/%3").arg(folder).arg(k).arg(clip));
    e2e::configure(Backend::SQLite, folder, folder + "/media0/");
    QSettings store("Velmora", "Clipwatch");
    const QStringList instance0 = {"Separator",       "MakePicons", "MakeProxy",
                                   "MaxTranslations", "DBType",     "ErrorCopyDirectory"};
    for (const QString& key : instance0)
        store.setValue("Instance1/" + key, store.value("Instance0/" + key));
    store.setValue("Instance1/Dir", folder + "/media1/");
    store.setValue("Instance1/DataBase", folder + "/clips1.db");
    store.setValue("DashboardPort", port);
}

} // namespace

RunningProgram::~RunningProgram()
{
    program.terminate();
    if (!program.waitForFinished(10000))
        e2e::killHard(program);
}

bool RunningProgram::start()
{
    folder = testenv::makeDir("dashboard");
    port = freePort();
    configure(folder, port);
    if (!service.start(100) || !controller.listen(QHostAddress::LocalHost, 6216)) {
        ADD_FAILURE() << "port 1080 or 6216 taken";
        return false;
    }
    scanenv::startHeadless(program, {"--no-window", "--log", "dashboard", "--start"});
    if (!scanenv::waitForOutput(program, "started", 30000) || !controller.waitForProgram(30000)) {
        ADD_FAILURE() << "the program did not start or connect";
        return false;
    }
    const QRegularExpressionMatch line =
        QRegularExpression(
            QString("Dashboard at http://127\\.0\\.0\\.1:%1/ token ([0-9a-f]{32})\\n").arg(port))
            .match(testenv::readLog("dashboard"));
    if (!line.hasMatch()) {
        ADD_FAILURE() << "no dashboard line in the log";
        return false;
    }
    token = line.captured(1).toStdString();
    EXPECT_EQ(QSettings("Velmora", "Clipwatch").value("DashboardToken").toString().toStdString(),
              token);
    const bool done = e2e::waitFor(
        [&] { return settled(0, kClips[0].size()) && settled(1, kClips[1].size()); }, 120000);
    if (!done)
        ADD_FAILURE() << "the scans did not settle";
    return done;
}

bool RunningProgram::settled(int instance, int clips)
{
    const QMap<QString, QString> s = ask(QString("scandir=%1&getscanstatus").arg(instance));
    const auto number = [&s](const char* name) { return s.value(name, "-1").toInt(); };
    return number("totalClips") == clips &&
           number("clipsCompleted") + number("erroredClips") == clips && number("processes") == 0 &&
           number("processesMD5") == 0 && number("processesWaiting") == 0;
}

QMap<QString, QString> RunningProgram::ask(const QString& request)
{
    const std::optional<QString> reply = controller.request(request, 10000);
    EXPECT_TRUE(reply) << "no reply to " << request.toStdString();
    return reply ? control::replyValues(*reply) : QMap<QString, QString>();
}

QString RunningProgram::state(int instance)
{
    return ask(QString("scandir=%1&getstate").arg(instance)).value("state").section('[', 0, 0);
}

httplib::Client RunningProgram::client() const
{
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(30);
    return http;
}

std::string RunningProgram::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::unique_ptr<RunningProgram> DashboardTest::program;

void DashboardTest::SetUpTestSuite()
{
    program = std::make_unique<RunningProgram>();
    if (!program->start())
        program.reset();
}

void DashboardTest::SetUp()
{
    if (!program)
        GTEST_SKIP() << "the program did not start";
}

QString fieldOfInstance(const QString& dom, int instance, const QString& field)
{
    const QString row = QString("<tr data-instance=\"%1\">").arg(instance);
    const int begin = dom.indexOf(row);
    if (begin < 0)
        return QString();
    const QString rowText = dom.mid(begin, dom.indexOf("</tr>", begin) - begin);
    const QRegularExpressionMatch cell =
        QRegularExpression("<td[^>]*data-field=\"" + QRegularExpression::escape(field) +
                           "\"[^>]*>([^<]*)<")
            .match(rowText);
    return cell.hasMatch() ? cell.captured(1) : QString();
}

} // namespace dashboardtest
