// Two simulated services (127.0.0.1:1081 and :1082) sharing the jobs of one instance on SQLite,
// or of three hosts (127.0.0.2-4) over one MariaDB catalogue: every element asked once and every
// clip complete once, also with a service or a host killed mid-run.
#include "platform/vexorequests.h"
#include "tests/integration/endtoend/e2efixture.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>

#include <memory>
#include <vector>

namespace
{

constexpr int kClips = 200;
constexpr int kElements = 2 * kClips; // a picon and an MD5 of each clip
constexpr int kJobMs = 300;           // every simulated job's length

// One host: the program without a window, with its own settings store (a copy of `store`, naming
// the host) and command address 127.0.0.`address`, logging to "farm-<name>".
class Host : public e2e::Driver
{
public:
    Host(const QString& name, int address, const QString& store)
        : name(name), address(QString("127.0.0.%1").arg(address))
    {
        const QString home = testenv::makeDir("host-" + name), config = home + "/config/Velmora/";
        QDir().mkpath(config);
        QFile::copy(store, config + "Clipwatch.conf");
        QSettings settings(config + "Clipwatch.conf", QSettings::IniFormat);
        settings.setValue("Instance0/FarmHost", name);
        settings.setValue("DashboardAddress", this->address);
        settings.setValue("DashboardPort", 6280);
        QSettings(config + "VexoCmd.conf", QSettings::IniFormat)
            .setValue("commandip", this->address);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_STATE_HOME", home + "/state");
        process.setProcessEnvironment(env);
    }

    // Its instance's count of clips as its dashboard gives it; -1 without an answer.
    int clipsCounted() const
    {
        const std::optional<std::string> metrics =
            vexoSendRequest(("http://" + address + ":6280/metrics").toStdString(), 2000);
        const QRegularExpressionMatch count =
            QRegularExpression("\nclipwatch_totalClips\\{[^}]*\\} (\\d+)")
                .match(QString::fromStdString(metrics.value_or("")));
        return count.hasMatch() ? count.captured(1).toInt() : -1;
    }

    bool start(const QStringList& batch = {"--start"}) { return Driver::start(log(), batch); }
    QString log() const { return "farm-" + name; }
    int logged(const QString& text) const { return e2e::logCount(log(), text); }

    const QString name;

private:
    const QString address;
};

// Both services with room for the jobs of three hosts, listing the jobs they take, and a tree
// whose clips' picon and MD5 are asked of them.
class TwoServices : public e2e::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }

    // `folders` folders of `perFolder` clips, jobs of `jobMs`; a farm host holds its claims
    // `claimSeconds`.
    void prepare(int folders, int perFolder, int jobMs, int claimSeconds = 60)
    {
        clips = e2e::makeTree(media, folders, perFolder);
        e2e::configure(backend(), folder, media,
                       {{"MakeMD5", 1},
                        {"MakeProxy", 0},
                        {"ServiceHosts", "127.0.0.1:1081;127.0.0.1:1082"},
                        {"ClaimSeconds", claimSeconds}});
        ASSERT_TRUE(startService(first, jobMs)) << "port 1081 taken";
        ASSERT_TRUE(startService(*second, jobMs)) << "port 1082 taken";
    }
    bool startService(e2e::Service& service, int jobMs)
    {
        return service.startWith(
            {"--simulate", "--jobs", "400", "--job-ms", QString::number(jobMs), "--log-jobs"});
    }
    QStringList clips;
    e2e::Service first{1081};
    std::unique_ptr<e2e::Service> second = std::make_unique<e2e::Service>(1082);
};

class Farm : public TwoServices
{
protected:
    // Three hosts over prepare()'s tree; the first starts alone (it creates the catalogue), the
    // others once it runs.
    void start(int folders, int perFolder, int jobMs, int claimSeconds)
    {
        prepare(folders, perFolder, jobMs, claimSeconds);
        const QString store =
            QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch")
                .fileName();
        for (int i = 0; i < 3; ++i) {
            hosts.push_back(std::make_unique<Host>(QString("host%1").arg(i + 1), i + 2, store));
            ASSERT_TRUE(hosts.back()->start()) << hosts.back()->name.toStdString();
        }
    }

    void expectEveryHostEnds(int ms)
    {
        for (const auto& host : hosts) {
            if (host) {
                EXPECT_TRUE(host->waitIdle(ms)) << host->name.toStdString() << " did not end";
            }
        }
    }

    std::vector<std::unique_ptr<Host>> hosts;
};

TEST_P(TwoServices, EveryElementAskedOnceEachServiceAFairShare)
{
    ASSERT_NO_FATAL_FAILURE(prepare(20, kClips / 20, kJobMs));
    e2e::Driver driver;
    ASSERT_TRUE(driver.start("services"));
    ASSERT_TRUE(driver.waitIdle(300000)) << "the run did not finish";
    e2e::ClipDb db(Backend::SQLite, folder);
    e2e::expectAllComplete(db, clips);

    const QStringList one = first.jobs(), two = second->jobs();
    e2e::expectEveryElementAsked({one, two}, clips);
    EXPECT_EQ(one.size() + two.size(), kElements) << "an element asked twice";
    EXPECT_GE(one.size(), kElements / 4);
    EXPECT_GE(two.size(), kElements / 4);
}

TEST_P(TwoServices, OneKilledMidRunOnlyItsLostJobsAskedAgain)
{
    ASSERT_NO_FATAL_FAILURE(prepare(20, kClips / 20, kJobMs));
    e2e::Driver driver;
    ASSERT_TRUE(driver.start("services-killed"));
    ASSERT_TRUE(e2e::waitFor([&] { return second->jobs().size() >= kElements / 8; }, 60000))
        << "1082 took no jobs";
    second->kill();
    const QStringList lost = second->jobs();
    // The monitor finds jobs of the killed service unanswered, while the other takes new jobs.
    ASSERT_TRUE(e2e::waitForLog("services-killed", "No return from command <http://127.0.0.1:1082/",
                                1, 30000))
        << "no job of 1082 was running when it was killed";
    const int before = first.jobs().size();
    ASSERT_TRUE(e2e::waitFor([&] { return first.jobs().size() > before + 10; }, 30000))
        << "1081 took no job while 1082 was away";
    second = std::make_unique<e2e::Service>(1082);
    ASSERT_TRUE(startService(*second, kJobMs)) << "port 1082 taken";
    ASSERT_TRUE(driver.waitIdle(300000)) << "jobs of the killed service kept the instance busy";
    EXPECT_GE(e2e::logCount("services-killed", "\nMissing Process "), 1);
    e2e::ClipDb db(Backend::SQLite, folder);
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE PiconValue = 2 OR MD5 = 'in progress'"),
              0)
        << "a lost element left in progress";

    e2e::Driver again;
    ASSERT_TRUE(again.start("services-cleared", {"--request", "scandir=0&clearerrors", "--start"}));
    ASSERT_TRUE(again.waitIdle(300000)) << "the run after Clear Errors did not finish";
    e2e::expectAllComplete(db, clips);

    const QMap<QString, int> times =
        e2e::expectEveryElementAsked({first.jobs(), lost, second->jobs()}, clips);
    for (auto t = times.begin(); t != times.end(); ++t) {
        if (t.value() == 1)
            continue;
        EXPECT_TRUE(lost.contains(t.key())) << "asked again, not lost: " << t.key().toStdString();
        EXPECT_EQ(t.value(), 2) << t.key().toStdString();
    }
}

TEST_P(Farm, EveryFolderSearchedOnceEveryElementAskedOnce)
{
    start(100, 200, 20, 60);
    expectEveryHostEnds(1200000);
    e2e::ClipDb db(Backend::MySQL, folder);
    e2e::expectAllComplete(db, clips);

    const QMap<QString, int> times =
        e2e::expectEveryElementAsked({first.jobs(), second->jobs()}, clips);
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

TEST_P(Farm, AKilledHostsWorkIsTakenOverAfterItsClaimsRunOut)
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
    EXPECT_TRUE(last.waitIdle(900000)) << "the run after Clear Errors did not end";
    e2e::expectAllComplete(db, clips);
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Claims WHERE Host='host2'"), 0)
        << "the killed host's claims were not taken over";
}

INSTANTIATE_TEST_SUITE_P(SQLite, TwoServices, ::testing::Values(Backend::SQLite), backendName);
INSTANTIATE_TEST_SUITE_P(MariaDB, Farm, ::testing::Values(Backend::MySQL), backendName);

} // namespace
