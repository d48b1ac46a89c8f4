// The simulated service killed while twenty jobs run and started again: the forgotten jobs end as
// missing, nothing stays in progress, and after Clear Errors every clip completes.
#include "platform/vexorequests.h"
#include "tests/integration/endtoend/e2efixture.h"

#include <QRegularExpression>

#include <memory>

namespace
{

class ServiceFault : public e2e::BackendTest<Backend>
{
protected:
    Backend backend() const override { return GetParam(); }
};

} // namespace

TEST_P(ServiceFault, ForgottenJobsAreMissingAndCompleteAfterClearErrors)
{
    const QStringList clips = e2e::makeTree(media, 30, 1);
    e2e::configure(GetParam(), folder, media,
                   {{"MakeMD5", 1}, {"MakeProxy", 0}, {"MaxTranslations", 10}});

    // Jobs that outlast the test until the service goes: ten picons and ten checksums at once.
    auto service = std::make_unique<e2e::Service>();
    ASSERT_TRUE(service->start(600000)) << "port 1080 taken";
    const QString first = "service-" + QString::fromStdString(backendName({GetParam(), 0}));
    e2e::Driver driver;
    ASSERT_TRUE(driver.start(first));
    ASSERT_TRUE(e2e::waitFor(
        [&] { return e2e::logCount(first, "\nCWS: ncwsProcessingClips(") >= 10; }, 60000));
    e2e::ClipDb db(GetParam(), folder);
    ASSERT_TRUE(e2e::waitFor(
        [&] {
            return db.number("SELECT COUNT(*) FROM Clips WHERE PiconValue = 2") +
                       db.number("SELECT COUNT(*) FROM Clips WHERE MD5 = 'in progress'") >=
                   20;
        },
        30000))
        << "twenty jobs never ran at once";
    // The rows say "in progress" before the requests go out: the service must hold them all.
    const QRegularExpression jobs("<p>(\\d+) jobs");
    ASSERT_TRUE(e2e::waitFor(
        [&] {
            const auto page = vexoSendRequest("http://127.0.0.1:1080/", 2000).value_or("");
            return jobs.match(QString::fromStdString(page)).captured(1).toInt() >= 20;
        },
        30000))
        << "the service never held twenty jobs";

    service->kill();
    ASSERT_TRUE(e2e::waitFor(
        [&] { return e2e::logCount(first, "ERROR:  No return from command <") >= 20; }, 30000));
    service = std::make_unique<e2e::Service>();
    ASSERT_TRUE(service->start(100)) << "port 1080 taken";
    ASSERT_TRUE(driver.waitIdle(120000)) << "forgotten jobs kept the instance busy";

    EXPECT_GE(e2e::logCount(first, "\nMissing Process "), 20);
    EXPECT_EQ(db.number("SELECT COUNT(*) FROM Clips WHERE PiconValue = 2 OR MD5 = 'in progress'"),
              0)
        << "an element left in progress";
    EXPECT_GE(db.number("SELECT COUNT(*) FROM Clips WHERE PiconValue = 7 AND "
                        "PiconError = 'lost process purged'"),
              10);
    EXPECT_GE(db.number("SELECT COUNT(*) FROM Clips WHERE MD5 = 'lost process purged'"), 10);

    const QString second = first + "-cleared";
    e2e::Driver again;
    ASSERT_TRUE(again.start(second, {"--request", "scandir=0&clearerrors", "--start"}));
    ASSERT_TRUE(again.waitIdle(120000)) << "the rescan did not finish";
    e2e::expectAllComplete(db, clips);
}

CLIPWATCH_BOTH_BACKENDS(ServiceFault);
