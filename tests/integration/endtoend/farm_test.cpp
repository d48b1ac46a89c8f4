// Three hosts (127.0.0.2-4), each the program with its own settings store, sharing one MariaDB
// catalogue and two simulated services (127.0.0.1:1081 and :1082): every folder is searched by
// one host, every element asked once across both services, every clip complete once; with a
// host killed mid-run and a service killed and started again, the dead host's work is taken
// over and every clip still completes once.
#include "platform/vexorequests.h"
#include "tests/integration/endtoend/e2efixture.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>

#include <memory>
#include <vector>

namespace
{

// One host: the program without a window, with its own settings store (a copy of this test's,
// naming the host) and command address 127.0.0.`address`, logging to "farm-<name>".
class Host
{
public:
    Host(const QString& name, int address) : name(name), address(address) {}
    ~Host() { e2e::killHard(process); }

    void configure(const QString& store)
    {
        home = testenv::makeDir("host-" + name);
        const QString config = home + "/config/Velmora/";
        QDir().mkpath(config);
        QFile::copy(store, config + "Clipwatch.conf");
        QSettings settings(config + "Clipwatch.conf", QSettings::IniFormat);
        settings.setValue("Instance0/FarmHost", name);
        settings.setValue("DashboardAddress", QString("127.0.0.%1").arg(address));
        settings.setValue("DashboardPort", 6280);
        QSettings(config + "VexoCmd.conf", QSettings::IniFormat)
            .setValue("commandip", QString("127.0.0.%1").arg(address));
    }

    // Its instance's count of clips as its dashboard gives it; -1 without an answer.
    int clipsCounted() const
    {
        const std::optional<std::string> metrics = vexoSendRequest(
            QString("http://127.0.0.%1:6280/metrics").arg(address).toStdString(), 2000);
        const QRegularExpressionMatch count =
            QRegularExpression("\nclipwatch_totalClips\\{[^}]*\\} (\\d+)")
                .match(QString::fromStdString(metrics.value_or("")));
        return count.hasMatch() ? count.captured(1).toInt() : -1;
    }

    bool start(const QStringList& batch = {"--start"})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(display);
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_STATE_HOME", home + "/state");
        process.setProcessEnvironment(env);
        process.start(testenv::buildDir() + "/clipwatch",
                      QStringList{"--no-window", "--log", log(), "--until-idle"} + batch);
        return scanenv::waitForOutput(process, "started", 30000);
    }
    bool ended(int ms)
    {
        return e2e::waitFor([&] { return process.state() == QProcess::NotRunning; }, ms) &&
               process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    void kill() { e2e::killHard(process); }
    QString log() const { return "farm-" + name; }
    int logged(const QString& text) const { return e2e::logCount(log(), text); }

    const QString name;

private:
    const int address;
    QString home;
    QProcess process;
};

// A simulated service with room for the jobs of three hosts, listing the jobs it takes.
bool startService(e2e::Service& service, int jobMs)
{
    return service.startWith(
        {"--simulate", "--jobs", "400", "--job-ms", QString::number(jobMs), "--log-jobs"});
}

class Farm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CLIPWATCH_REQUIRE_MARIADB();
        testdb::dropMySQL(testdb::mysqlName());
        folder = testenv::makeDir("farm");
    }
    void TearDown() override { testdb::dropMySQL(testdb::mysqlName()); }

    // `folders` folders of `perFolder` clips, picon and MD5 on both services, three hosts
    // holding their claims `claimSeconds`; the first host starts alone (it creates the
    // catalogue), the others once it runs.
    void start(int folders, int perFolder, int jobMs, int claimSeconds)
    {
        clips = e2e::makeTree(folder + "/media/", folders, perFolder);
        e2e::configure(Backend::MySQL, folder, folder + "/media/",
                       {{"MakeMD5", 1},
                        {"MakeProxy", 0},
                        {"ServiceHosts", "127.0.0.1:1081;127.0.0.1:1082"},
                        {"ClaimSeconds", claimSeconds}});
        const QString store =
            QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch")
                .fileName();
        for (e2e::Service* service : {&first, second.get()})
            ASSERT_TRUE(startService(*service, jobMs)) << "service port taken";
        for (int i = 0; i < 3; ++i) {
            hosts.push_back(std::make_unique<Host>(QString("host%1").arg(i + 1), i + 2));
            hosts.back()->configure(store);
            ASSERT_TRUE(hosts.back()->start()) << hosts.back()->name.toStdString();
        }
    }

    void expectEveryHostEnds(int ms)
    {
        for (const auto& host : hosts) {
            if (host) {
                EXPECT_TRUE(host->ended(ms)) << host->name.toStdString() << " did not end";
            }
        }
    }

    // How often each element was asked for, over both services.
    QMap<QString, int> asked()
    {
        QMap<QString, int> times;
        for (e2e::Service* service : {&first, second.get()})
            for (const QString& job : service->jobs())
                ++times[job];
        return times;
    }

    QString folder;
    QStringList clips;
    e2e::Service first{1081};
    std::unique_ptr<e2e::Service> second = std::make_unique<e2e::Service>(1082);
    std::vector<std::unique_ptr<Host>> hosts;
};

TEST_F(Farm, EveryFolderSearchedOnceEveryElementAskedOnce)
{
    start(100, 200, 20, 60);
    expectEveryHostEnds(1200000);
    e2e::ClipDb db(Backend::MySQL, folder);
    e2e::expectAllComplete(db, clips);

    const QMap<QString, int> times = asked();
    EXPECT_EQ(times.size(), 2 * clips.size()) << "an element never asked";
    for (auto t = times.begin(); t != times.end(); ++t)
        EXPECT_EQ(t.value(), 1) << "asked more than once: " << t.key().toStdString();
    int searches = 0;
    for (const auto& host : hosts) {
        searches += host->logged("\ncwsFindClips(");
        EXPECT_GT(host->logged("ncwsProcessingClips("), 0)
            << host->name.toStdString() << " took no clip";
    }
    EXPECT_EQ(searches, db.number("SELECT COUNT(*) FROM Directories"))
        << "a folder searched by two hosts, or by none";
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Claims"), 0) << "a claim left behind";
}

TEST_F(Farm, AKilledHostsWorkIsTakenOverAfterItsClaimsRunOut)
{
    start(30, 100, 300, 5);
    const std::unique_ptr<Host> victim = std::move(hosts[1]);
    e2e::ClipDb db(Backend::MySQL, folder);
    // Killed while it holds clips: a moment when its jobs have all ended would leave nothing to
    // take over.
    ASSERT_TRUE(e2e::waitFor(
        [&] {
            return victim->logged("ncwsProcessingClips(") >= 20 &&
                   db.number("SELECT COUNT(*) FROM Claims WHERE Host='host2' AND Kind='C'") > 0;
        },
        120000))
        << "the second host took no clip";
    victim->kill();
    second->kill();
    second = std::make_unique<e2e::Service>(1082);
    ASSERT_TRUE(startService(*second, 300)) << "port 1082 taken";
    // Each host searched a part of the tree and counts the whole catalogue.
    for (const int live : {0, 2}) {
        EXPECT_TRUE(
            e2e::waitFor([&] { return hosts[live]->clipsCounted() == clips.size(); }, 60000))
            << hosts[live]->name.toStdString() << " does not count every clip";
    }
    expectEveryHostEnds(900000);
    EXPECT_GT(hosts[0]->logged("taken over") + hosts[2]->logged("taken over"), 0)
        << "nobody took over the killed host's clips";

    // The jobs lost with the killed service failed: Clear Errors puts them back.
    Host& last = *hosts[0];
    ASSERT_TRUE(last.start({"--request", "scandir=0&clearerrors", "--start"}));
    EXPECT_TRUE(last.ended(900000)) << "the run after Clear Errors did not end";
    e2e::expectAllComplete(db, clips);
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Claims WHERE Host='host2'"), 0)
        << "the killed host's claims were not taken over";
}

} // namespace
