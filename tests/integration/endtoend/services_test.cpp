// One instance sharing its jobs between two simulated services (ServiceHosts 127.0.0.1:1081 and
// :1082): every element is asked of exactly one service and each takes a fair share; with one
// service killed mid-run and started again, every clip completes and only the jobs lost with it
// are asked again.
#include "tests/integration/endtoend/e2efixture.h"

#include <memory>

namespace
{

constexpr int kClips = 200;
constexpr int kElements = 2 * kClips; // a picon and an MD5 of each clip
constexpr int kJobMs = 300;           // every simulated job's length

class TwoServices : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = testenv::makeDir("services");
        clips = e2e::makeTree(folder + "/media/", 20, kClips / 20);
        e2e::configure(
            Backend::SQLite, folder, folder + "/media/",
            {{"MakeMD5", 1}, {"MakeProxy", 0}, {"ServiceHosts", "127.0.0.1:1081;127.0.0.1:1082"}});
        ASSERT_TRUE(first.start(kJobMs, true)) << "port 1081 taken";
        ASSERT_TRUE(second->start(kJobMs, true)) << "port 1082 taken";
    }

    QString folder;
    QStringList clips;
    e2e::Service first{1081};
    std::unique_ptr<e2e::Service> second = std::make_unique<e2e::Service>(1082);
};

TEST_F(TwoServices, EveryElementAskedOnceEachServiceAFairShare)
{
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

TEST_F(TwoServices, OneKilledMidRunOnlyItsLostJobsAskedAgain)
{
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
    ASSERT_TRUE(second->start(kJobMs, true)) << "port 1082 taken";
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

} // namespace
