// Every request of the service contract against a running simulated vexobase: starts, status,
// purges, both aborts, the address request, the purge of completed jobs, the probe, the job
// page, and paths with "&", spaces, quotes and non-ASCII letters.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace vexotest;

namespace
{

std::string makeFile(const QString& dir, const QString& name)
{
    QFile file(dir + "/" + name);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    file.write("not really a clip");
    return file.fileName().toStdString();
}

class Requests : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        service = new Service({"--simulate", "--job-ms", "400", "--jobs", "4"});
        dir = testenv::makeDir("requests");
    }
    static void TearDownTestSuite() { delete service; }

    std::string reply(const std::string& query) { return service->get(query).value_or(""); }

    static Service* service;
    static QString dir;
};

Service* Requests::service = nullptr;
QString Requests::dir;

TEST_F(Requests, ProbeAndAddressAnswer)
{
    ASSERT_TRUE(service->started());
    const std::string probe = reply("/vexojson?request=get&client=127.0.0.1&group=0");
    EXPECT_EQ(replyValue(probe, "result"), "0");
    const std::string address =
        reply("/vexojson?request=address&client=127.0.0.1&group=0&channel=0");
    EXPECT_EQ(replyValue(address, "address"), "127.0.0.1");
}

TEST_F(Requests, SecondServiceOnATakenPortFails)
{
    ASSERT_TRUE(service->started());
    QProcess second;
    second.start(testenv::buildDir() + "/vexobase",
                 {"--simulate", "--bind", "127.0.0.1", "--port", QString::number(service->port())});
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second service listens beside the first";
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("cannot listen"));
    EXPECT_EQ(replyValue(reply("/vexojson?request=get&client=127.0.0.1&group=0"), "result"), "0");
}

TEST_F(Requests, JobRunsToTheEndAndIsPurged)
{
    const std::string source = makeFile(dir, "plain.mov");
    const std::string target = dir.toStdString() + "/plain.xmp";
    const std::string started = reply(startQuery(source, target, "xmp"));
    EXPECT_NE(started.find("success"), std::string::npos) << started;
    EXPECT_EQ(started.find("fail"), std::string::npos);

    const std::string running = reply(statusQuery(source, target, "xmp"));
    EXPECT_GE(progressOf(running), 0);
    EXPECT_LT(progressOf(running), 10000);

    const std::string ended = service->waitForEnd(statusQuery(source, target, "xmp"));
    EXPECT_EQ(progressOf(ended), 10000) << ended;
    EXPECT_EQ(replyValue(ended, "result"), "0");
    EXPECT_EQ(replyValue(ended, "resultstring"), "complete");
    EXPECT_EQ(replyValue(ended, "source"), source);
    EXPECT_EQ(replyValue(ended, "target"), target);
    EXPECT_EQ(replyValue(ended, "profile"), "xmp");
    EXPECT_EQ(replyValue(ended, "address"), "127.0.0.1");

    std::string purge = statusQuery(source, target, "xmp") + "&purge=true";
    purge.replace(purge.find("request=get"), 11, "request=set");
    EXPECT_EQ(replyValue(reply(purge), "result"), "0");
    EXPECT_TRUE(hasToken(reply(statusQuery(source, target, "xmp")), "copy not found"));
}

TEST_F(Requests, UnknownJobIsNotFound)
{
    const std::string status = reply(statusQuery("/no/such.mov", "/no/such.xmp", "xmp"));
    EXPECT_TRUE(hasToken(status, "copy not found")) << status;
    EXPECT_FALSE(replyValue(status, "source").has_value());
}

TEST_F(Requests, Md5ResultIsThirtyTwoHexDigits)
{
    const std::string source = makeFile(dir, "sum.mov");
    EXPECT_NE(reply(startQuery(source, source, "md5")).find("success"), std::string::npos);
    const std::string ended = service->waitForEnd(statusQuery(source, source, "md5"));
    const std::string digest = replyValue(ended, "resultstring").value_or("");
    EXPECT_EQ(digest.size(), 32u) << ended;
    EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST_F(Requests, PiconStartedWithPisrcIsPolledWithSource)
{
    const std::string source = makeFile(dir, "pic.mov");
    const std::string target = source + ".picon.jpg";
    const std::string start =
        "/vexojson?request=set&client=127.0.0.1&command=copy&pisrc=" + source + "&pidst=" + target +
        "&profile=picon&width=160&piframe=10&piquality=100";
    EXPECT_NE(reply(start).find("success"), std::string::npos);
    const std::string status = reply(statusQuery(source, target, "picon"));
    EXPECT_EQ(replyValue(status, "source"), source) << status;
    EXPECT_EQ(replyValue(status, "target"), target);
}

TEST_F(Requests, StartsAreRefusedWithAReason)
{
    const std::string source = makeFile(dir, "refused.mov");
    const struct {
        std::string source, target, profile, why;
    } cases[] = {
        {source, source + ".out", "no-such-profile", "refused: unknown profile"},
        {dir.toStdString() + "/missing.mov", source + ".xmp", "xmp", "refused: source not found"},
        {source, source + "/under/a/file.xmp", "xmp", "refused: target not writable"},
        {source, source, "wrap", "refused: target is the source"},
        {source, source + ".zzz", "wrap", "refused: unknown container"},
    };
    for (const auto& c : cases) {
        const std::string answer = reply(startQuery(c.source, c.target, c.profile));
        EXPECT_EQ(answer.find("success"), std::string::npos) << answer;
        EXPECT_EQ(replyValue(answer, "resultstring"), c.why);
        EXPECT_TRUE(hasToken(reply(statusQuery(c.source, c.target, c.profile)), "copy not found"));
    }
}

TEST_F(Requests, MissingTargetFoldersAreMade)
{
    const std::string source = makeFile(dir, "nested.mov");
    const std::string target = dir.toStdString() + "/index/new/folders/nested.rtin";
    EXPECT_NE(reply(startQuery(source, target, "index")).find("success"), std::string::npos);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(target)).dir().exists());
}

TEST_F(Requests, AbortWithJobFragmentsEndsTheJob)
{
    const std::string source = makeFile(dir, "abort me.mov");
    const std::string target = source + ".rtin";
    ASSERT_NE(reply(startQuery(source, target, "index")).find("success"), std::string::npos);
    // The form sent by Abort All: the job's own fragments, also the ones the service ignores.
    const std::string abort = "/vexojson?request=set&group=any&request=set&client=127.0.0.1"
                              "&command=copy&source=" +
                              source + "&target=" + target +
                              "&profile=index&absin=0&absout=-1&flags=timeconversion"
                              "&cwstimeout=10&abort=true";
    const std::string answer = reply(abort);
    EXPECT_EQ(replyValue(answer, "result"), "0") << answer;
    EXPECT_EQ(replyValue(answer, "source"), source);
    const std::string status = reply(statusQuery(source, target, "index"));
    EXPECT_EQ(progressOf(status), -1) << status;
    EXPECT_EQ(replyValue(status, "resultstring"), "aborted");
    EXPECT_EQ(replyValue(reply(abort), "result"), "0") << "an aborted job can be asked again";
}

TEST_F(Requests, AbortOfUnknownJobIsNotResultZero)
{
    // Abort All removes every job string containing the reply's source: an unknown job must
    // never answer result 0 with an empty source.
    const std::string answer =
        reply("/vexojson?request=set&group=any&client=x&command=copy&source=/nope.mov"
              "&target=/nope.xmp&profile=xmp&abort=true");
    EXPECT_EQ(replyValue(answer, "result"), "1") << answer;
}

TEST_F(Requests, StalledAbortWithLowerCasePathsClearsTheJob)
{
    const std::string source = makeFile(dir, "Stall.VexoFault-Stall.MOV");
    const std::string target = dir.toStdString() + "/Stall.XMP";
    ASSERT_NE(reply(startQuery(source, target, "XMP")).find("success"), std::string::npos);
    auto lower = [](std::string text) {
        return QString::fromStdString(text).toLower().toStdString();
    };
    const std::string abort =
        "/vexojson?request=set&client=127.0.0.1&command=copy&source=" + lower(source) +
        "&target=" + lower(target) + "&profile=xmp&group=1&abort=1&clear=1";
    EXPECT_EQ(replyValue(reply(abort), "result"), "0");
    EXPECT_TRUE(hasToken(reply(statusQuery(source, target, "XMP")), "copy not found"));
}

TEST_F(Requests, PurgeOfCompletedJobsKeepsRunningOnes)
{
    const std::string done = makeFile(dir, "done.mov");
    const std::string stuck = makeFile(dir, "stuck.vexofault-stall.mov");
    ASSERT_NE(reply(startQuery(done, done + ".xmp", "xmp")).find("success"), std::string::npos);
    ASSERT_NE(reply(startQuery(stuck, stuck + ".xmp", "xmp")).find("success"), std::string::npos);
    EXPECT_EQ(progressOf(service->waitForEnd(statusQuery(done, done + ".xmp", "xmp"))), 10000);

    const std::string answer =
        reply("/vexo?request=set&client=all&command=copy&complete=1&purge=1");
    EXPECT_EQ(replyValue(answer, "result"), "0");
    EXPECT_TRUE(hasToken(reply(statusQuery(done, done + ".xmp", "xmp")), "copy not found"));
    EXPECT_EQ(progressOf(reply(statusQuery(stuck, stuck + ".xmp", "xmp"))), 5000);
}

TEST_F(Requests, HostilePathsRoundTrip)
{
    const QString sub = dir + "/dir & co";
    ASSERT_TRUE(QDir().mkpath(sub));
    const std::string source = makeFile(sub, QString::fromUtf8("Zoë's clip & take 1 #2 100%.mov"));
    const std::string target = source + ".xmp";
    ASSERT_NE(reply(startQuery(source, target, "xmp")).find("success"), std::string::npos);
    const std::string status = reply(statusQuery(source, target, "xmp"));
    EXPECT_EQ(replyValue(status, "source"), source) << status;
    EXPECT_EQ(replyValue(status, "target"), target);
    EXPECT_EQ(replyValue(status, "profile"), "xmp");
}

TEST_F(Requests, DoubleQuoteInPathCannotForgeKeys)
{
    const std::string source = makeFile(dir, "x\",\"progress\":\"10000.mov");
    const std::string target = source + ".xmp";
    ASSERT_NE(reply(startQuery(source, target, "xmp")).find("success"), std::string::npos);
    const std::string status = reply(statusQuery(source, target, "xmp"));
    EXPECT_LT(progressOf(status), 10000) << status;
    EXPECT_EQ(replyValue(status, "profile"), "xmp");
    EXPECT_NE(replyValue(status, "source").value_or("").find("\\u0022"), std::string::npos);
}

TEST_F(Requests, RestartOfARunningJobKeepsIt)
{
    const std::string source = makeFile(dir, "twice.vexofault-stall.mov");
    const std::string target = source + ".xmp";
    ASSERT_NE(reply(startQuery(source, target, "xmp")).find("success"), std::string::npos);
    ASSERT_EQ(progressOf(service->waitForEnd(statusQuery(source, target, "xmp"), 400)), 5000);
    EXPECT_NE(reply(startQuery(source, target, "xmp")).find("success"), std::string::npos);
    EXPECT_EQ(progressOf(reply(statusQuery(source, target, "xmp"))), 5000);
}

TEST_F(Requests, PageListsJobsEscaped)
{
    const std::string source = makeFile(dir, "page <b>.mov");
    ASSERT_NE(reply(startQuery(source, source + ".xmp", "xmp")).find("success"), std::string::npos);
    const std::string page = reply("/");
    EXPECT_NE(page.find("<table>"), std::string::npos);
    EXPECT_NE(page.find("page &lt;b&gt;.mov"), std::string::npos);
    EXPECT_EQ(page.find("page <b>.mov"), std::string::npos);
}

TEST_F(Requests, UnknownRequestIsAnError)
{
    EXPECT_EQ(replyValue(reply("/vexojson?request=frobnicate"), "result"), "1");
}

} // namespace
