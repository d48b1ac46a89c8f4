// Every request of the service contract against a running simulated vexobase, hostile paths,
// lookups ignoring case, its fault injection, and its end on SIGTERM.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

using namespace vexotest;

namespace
{

class Simulated : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        service =
            new Service({"--simulate", "--job-ms", "300", "--jobs", "8", "--slow-ms", "1500"});
        dir = testenv::makeDir("requests").toStdString();
    }
    static void TearDownTestSuite() { delete service; }
    void SetUp() override
    {
        ASSERT_TRUE(service->started());
        ASSERT_EQ(control("fault=none&delay=0"), "0");
    }

    std::string reply(const std::string& query) { return service->get(query).value_or(""); }
    std::string result(const std::string& query)
    {
        return replyValue(reply(query), "result").value_or("");
    }
    std::string control(const std::string& query) { return result("/control?" + query); }
    static std::string makeFile(const std::string& name)
    {
        EXPECT_TRUE(scanenv::touch(QString::fromStdString(dir + "/" + name))) << name;
        return dir + "/" + name;
    }
    // Starts an XMP job of a new file `name`; returns its source.
    std::string startJob(const std::string& name)
    {
        const std::string source = makeFile(name);
        EXPECT_TRUE(service->startJob(source, source + ".xmp", "xmp")) << name;
        return source;
    }
    std::string status(const std::string& source, const std::string& target = {},
                       const std::string& profile = "xmp")
    {
        return reply(jobQuery("get", source, target.empty() ? source + ".xmp" : target, profile));
    }
    std::string set(const std::string& source, const std::string& what)
    {
        return result(jobQuery("set", source, source + ".xmp", "xmp") + what);
    }
    std::string waitForEnd(const std::string& source)
    {
        return service->waitForEnd(source, source + ".xmp", "xmp");
    }

    static inline Service* service = nullptr;
    static inline std::string dir;
};

// The probe and address requests: the program's probe and monitor tests against this service.
TEST_F(Simulated, ATakenPortIsRefused)
{
    QProcess second;
    second.start(testenv::buildDir() + "/vexobase",
                 {"--simulate", "--bind", "127.0.0.1", "--port", QString::number(service->port())});
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second service listens beside the first";
    EXPECT_EQ(second.exitCode(), 1);
}

TEST_F(Simulated, JobsRunAgainOnceEndedAndArePurgedOnceOrWithAllCompletedOnes)
{
    const std::string source = startJob("plain.mov");
    const std::string stuck = startJob("Stuck.VEXOFAULT-STALL.mov"); // markers ignore case
    const int running = progressOf(status(source));
    EXPECT_TRUE(running >= 0 && running < 10000) << running;
    const std::string ended = waitForEnd(source);
    EXPECT_EQ(progressOf(ended), 10000) << ended;
    EXPECT_EQ(replyValue(ended, "address"), "127.0.0.1");
    // An ended job started again runs again, as after Clear Errors; the program sends a running
    // job's start again too: that job is kept as it is.
    ASSERT_TRUE(service->startJob(source, source + ".xmp", "xmp"));
    EXPECT_LT(progressOf(status(source)), 10000);
    ASSERT_TRUE(service->startJob(stuck, stuck + ".xmp", "xmp"));
    EXPECT_EQ(progressOf(status(stuck)), 5000);

    EXPECT_EQ(set(source, "&purge=true"), "0");
    EXPECT_TRUE(notFound(status(source)));
    EXPECT_EQ(set(source, "&purge=true"), "1") << "a purged job is gone";

    const std::string done = startJob("done.mov");
    EXPECT_EQ(progressOf(waitForEnd(done)), 10000);
    EXPECT_EQ(result("/vexo?request=set&client=all&command=copy&complete=1&purge=1"), "0");
    EXPECT_TRUE(notFound(status(done)));
    EXPECT_EQ(progressOf(status(stuck)), 5000);
}

TEST_F(Simulated, StartsAreRefusedWithAReason)
{
    const std::string source = makeFile("refused.mov");
    const struct {
        std::string source, target, profile, why;
    } cases[] = {
        {source, source + ".out", "no-such-profile", "refused: unknown profile"},
        {dir + "/missing.mov", source + ".xmp", "xmp", "refused: source not found"},
        {source, source + "/under/a/file.xmp", "xmp", "refused: target not writable"},
        {source, source, "wrap", "refused: target is the source"},
        {source, source + ".zzz", "wrap", "refused: unknown container"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replyValue(reply(startQuery(c.source, c.target, c.profile)), "resultstring"),
                  c.why);
        EXPECT_TRUE(notFound(status(c.source, c.target, c.profile)));
    }
}

TEST_F(Simulated, AbortsEndOrClearTheJob)
{
    const std::string source = makeFile("abort me.mov");
    const std::string target = source + ".rtin";
    ASSERT_TRUE(service->startJob(source, target, "index"));
    // The form sent by Abort All: the job's own fragments, also the ones the service ignores.
    const std::string abort = "/vexojson?request=set&group=any&request=set&client=127.0.0.1"
                              "&command=copy&source=" +
                              source + "&target=" + target +
                              "&profile=index&absin=0&absout=-1&flags=timeconversion"
                              "&cwstimeout=10&abort=true";
    const std::string answer = reply(abort);
    EXPECT_EQ(replyValue(answer, "result"), "0") << answer;
    EXPECT_EQ(replyValue(answer, "source"), source);
    QThread::msleep(500); // past the job's end: its worker's late result changes nothing
    const std::string aborted = status(source, target, "index");
    EXPECT_EQ(progressOf(aborted), -1) << aborted;
    EXPECT_EQ(replyValue(aborted, "resultstring"), "aborted");
    EXPECT_EQ(result(abort), "0") << "an aborted job can be asked again";

    // The stalled-job abort lower-cases the paths and clears the job.
    const std::string stalled = makeFile("Stall.VexoFault-Stall.MOV");
    ASSERT_TRUE(service->startJob(stalled, stalled + ".XMP", "XMP"));
    const QString clear = QString::fromStdString(jobQuery("set", stalled, stalled + ".XMP", "xmp"));
    EXPECT_EQ(result(clear.toLower().toStdString() + "&abort=1&clear=1"), "0");
    EXPECT_TRUE(notFound(status(stalled, stalled + ".XMP", "XMP")));

    // Abort All removes every job string containing the reply's source: an unknown job must
    // never answer result 0 with an empty source.
    EXPECT_EQ(set("/nope.mov", "&abort=true"), "1");
}

TEST_F(Simulated, PathsRoundTripIntoNewFoldersAndOntoThePageAndMatchIgnoringCase)
{
    for (const std::string name :
         {"Zoë's <b>clip & take 1 #2 100%.mov", "x\",\"progress\":\"1.mov", "a&b&&c.mov"}) {
        const std::string source = makeFile("dir & co/" + name);
        const std::string target = dir + "/new & folder/" + name + ".xmp";
        ASSERT_TRUE(service->startJob(source, target, "xmp"));
        EXPECT_TRUE(QFileInfo(QString::fromStdString(target)).dir().exists());
        const std::string answer = status(source, target);
        // Double quotes come back escaped, so that no path can forge a key.
        const auto escaped = [](std::string path) {
            return QString::fromStdString(path).replace("\"", "\\u0022").toStdString();
        };
        EXPECT_EQ(replyValue(answer, "source"), escaped(source)) << answer;
        EXPECT_EQ(replyValue(answer, "target"), escaped(target));
    }
    const std::string page = reply("/");
    EXPECT_NE(page.find("&lt;b&gt;clip"), std::string::npos) << page;
    EXPECT_EQ(page.find("<b>clip"), std::string::npos);

    // Lookups ignore case only where one job matches.
    const std::string upper = startJob("Twin.MOV"), lower = startJob("twin.mov");
    EXPECT_EQ(replyValue(status(upper), "source"), upper) << "the exact match wins";
    EXPECT_TRUE(notFound(status(dir + "/TWIN.mov"))) << "two candidates: none";
    const std::string single = startJob("Single.MOV");
    EXPECT_EQ(replyValue(status(QString::fromStdString(single).toLower().toStdString()), "source"),
              single);
    EXPECT_EQ(replyValue(status(lower), "source"), lower);
}

TEST_F(Simulated, FaultsHoldOrEndOnlyTheJobsTheyAreFor)
{
    const std::string slow = startJob("a.vexofault-slow.mov");
    EXPECT_FALSE(service->get(jobQuery("get", slow, slow + ".xmp", "xmp"), 100).has_value());
    QElapsedTimer timer;
    timer.start();
    EXPECT_GE(progressOf(status(slow)), 0);
    EXPECT_GE(timer.elapsed(), 1400);
    EXPECT_TRUE(service->get(startQuery(makeFile("quick.mov"), dir + "/q.xmp", "xmp"), 500))
        << "other jobs still answer at once";

    EXPECT_EQ(control("fault=explode"), "1");
    EXPECT_EQ(control("delay=-5"), "1");
    ASSERT_EQ(control("fault=lost&count=1"), "0");
    EXPECT_EQ(progressOf(waitForEnd(startJob("first.mov"))), -2);
    EXPECT_EQ(progressOf(waitForEnd(startJob("second.mov"))), 10000);

    ASSERT_EQ(control("fault=refuse"), "0");
    const std::string source = makeFile("third.mov");
    EXPECT_FALSE(service->startJob(source, source + ".xmp", "xmp"));
    ASSERT_EQ(control("fault=none&failresult=7"), "0");
    EXPECT_TRUE(service->startJob(source, source + ".xmp", "xmp"));
    const std::string failed = waitForEnd(startJob("a.vexofault-fail.mov"));
    EXPECT_EQ(progressOf(failed), -1) << failed;
    EXPECT_EQ(replyValue(failed, "result"), "7");
}

TEST(Shutdown, SigtermEndsTheServiceWithJobsRunningAndAWorkerWaiting)
{
    Service service({"--simulate", "--job-ms", "60000", "--jobs", "3"});
    const std::string source = testenv::makeDir("shutdown").toStdString() + "/a.mov";
    ASSERT_TRUE(scanenv::touch(QString::fromStdString(source)));
    for (const char* target : {".1.xmp", ".2.xmp"})
        ASSERT_TRUE(service.startJob(source, source + target, "xmp"));
    // This process's idle keep-alive connection holds the end for at most the service's
    // one-second keep-alive.
    EXPECT_TRUE(service.stop(3000)) << "running jobs end and waiting workers are released";
}

} // namespace
