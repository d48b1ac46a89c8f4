// Fault injection of the simulated vexobase: every fault mode, chosen by a source marker or by a
// control request, and the whole service going silent and coming back.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

using namespace vexotest;

namespace
{

class Faults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        service = std::make_unique<Service>(
            QStringList{"--simulate", "--job-ms", "300", "--jobs", "2", "--slow-ms", "1500"});
        ASSERT_TRUE(service->started());
        dir = testenv::makeDir("faults");
    }

    std::string makeFile(const std::string& name)
    {
        QFile file(dir + "/" + QString::fromStdString(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        return file.fileName().toStdString();
    }

    std::string reply(const std::string& query, int timeoutMs = 5000)
    {
        return service->get(query, timeoutMs).value_or("");
    }

    // Starts an XMP job of `name` and returns its status query.
    std::string startJob(const std::string& name)
    {
        const std::string source = makeFile(name);
        const std::string answer = reply(startQuery(source, source + ".xmp", "xmp"));
        EXPECT_NE(answer.find("success"), std::string::npos) << answer;
        return statusQuery(source, source + ".xmp", "xmp");
    }

    std::unique_ptr<Service> service;
    QString dir;
};

TEST_F(Faults, FailEndsWithMinusOneAndTheResultCode)
{
    ASSERT_EQ(replyValue(reply("/control?failresult=7"), "result"), "0");
    const std::string ended = service->waitForEnd(startJob("a.vexofault-fail.mov"));
    EXPECT_EQ(progressOf(ended), -1) << ended;
    EXPECT_EQ(replyValue(ended, "result"), "7");
    EXPECT_EQ(replyValue(ended, "resultstring"), "simulated failure");
}

TEST_F(Faults, LostReportsMinusTwo)
{
    const std::string ended = service->waitForEnd(startJob("a.VEXOFAULT-LOST.mov"));
    EXPECT_EQ(progressOf(ended), -2) << ended;
}

TEST_F(Faults, ForgottenJobIsNotFoundLater)
{
    const std::string status = startJob("a.vexofault-forget.mov");
    EXPECT_GE(progressOf(reply(status)), 0);
    const std::string later = service->waitForEnd(status);
    EXPECT_TRUE(hasToken(later, "copy not found")) << later;
}

TEST_F(Faults, StalledJobStopsMoving)
{
    const std::string status = startJob("a.vexofault-stall.mov");
    QThread::msleep(900); // three times the job's length
    EXPECT_EQ(progressOf(reply(status)), 5000);
    QThread::msleep(300);
    EXPECT_EQ(progressOf(reply(status)), 5000);
}

TEST_F(Faults, SlowRepliesOutlastTheClientTimeOut)
{
    const std::string status = startJob("a.vexofault-slow.mov");
    EXPECT_FALSE(service->get(status, 100).has_value());
    QElapsedTimer timer;
    timer.start();
    const std::string late = reply(status, 5000);
    EXPECT_GE(timer.elapsed(), 1400);
    EXPECT_TRUE(replyValue(late, "progress").has_value()) << late;
    // Other jobs still answer at once.
    EXPECT_TRUE(
        service->get(startQuery(makeFile("quick.mov"), dir.toStdString() + "/q.xmp", "xmp"), 500)
            .has_value());
}

TEST_F(Faults, RefusedStartHasNoSuccess)
{
    const std::string source = makeFile("a.vexofault-refuse.mov");
    const std::string answer = reply(startQuery(source, source + ".xmp", "xmp"));
    EXPECT_EQ(answer.find("success"), std::string::npos) << answer;
    EXPECT_EQ(replyValue(answer, "resultstring"), "refused: simulated refusal");
}

TEST_F(Faults, ControlFaultAppliesToTheCountedJobsOnly)
{
    ASSERT_EQ(replyValue(reply("/control?fault=lost&count=1"), "result"), "0");
    EXPECT_EQ(progressOf(service->waitForEnd(startJob("first.mov"))), -2);
    EXPECT_EQ(progressOf(service->waitForEnd(startJob("second.mov"))), 10000);

    ASSERT_EQ(replyValue(reply("/control?fault=refuse"), "result"), "0");
    const std::string source = makeFile("third.mov");
    EXPECT_EQ(reply(startQuery(source, source + ".xmp", "xmp")).find("success"), std::string::npos);
    ASSERT_EQ(replyValue(reply("/control?fault=none"), "result"), "0");
    EXPECT_NE(reply(startQuery(source, source + ".xmp", "xmp")).find("success"), std::string::npos);
}

TEST_F(Faults, BadControlRequestIsRefused)
{
    EXPECT_EQ(replyValue(reply("/control?fault=explode"), "result"), "1");
    EXPECT_EQ(replyValue(reply("/control?delay=-5"), "result"), "1");
}

TEST_F(Faults, DelayHoldsEveryReply)
{
    ASSERT_EQ(replyValue(reply("/control?delay=800"), "result"), "0");
    EXPECT_FALSE(service->get("/vexojson?request=get&client=a&group=0", 300).has_value());
    EXPECT_TRUE(service->get("/vexojson?request=get&client=a&group=0", 3000).has_value());
}

TEST_F(Faults, SilentServiceComesBackWithItsJobs)
{
    const std::string status = startJob("kept.mov");
    ASSERT_EQ(replyValue(reply("/control?silent=1500"), "result"), "0");
    QThread::msleep(200);
    EXPECT_FALSE(service->get(status, 500).has_value());
    QThread::msleep(1800);
    const std::string back = service->waitForEnd(status);
    EXPECT_EQ(progressOf(back), 10000) << back;
}

} // namespace
