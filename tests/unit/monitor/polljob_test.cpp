// One poll of a job by the monitor, answered in-process.
#include "tests/unit/monitor/monitorfixture.h"

namespace
{

const std::string kNotFound = "{\"result\":\"1\",\"resultstring\":\"copy not found\"}";

class PollJob : public MonitorTest
{
protected:
    void SetUp() override
    {
        MonitorTest::SetUp();
        makeInstance();
        addClip(anchor);
    }

    QString proxyJob(const std::string& extra = "")
    {
        return jobString("proxy", anchor, target, "mp4-h264", extra);
    }

    const std::string anchor = "/media/a.mov";
    const std::string target = "/out/a.mp4";
};

TEST_F(PollJob, FinishedJobMatchesAfterNormalisationAndIsPurged)
{
    const std::string windows = "c:\\media\\a.mov";
    addClip(windows);
    // On a second service: polled and purged there.
    const QString j = jobString("proxy", windows, "D:/out/a.mp4", "PROXY", "", "127.0.0.1:1082");
    monitor.jobList.append(j);
    answer(statusReply("C:/Media/A.MOV", "d:\\\\out\\\\a.mp4", "proxy", 10000, 0, "complete"));
    monitor.PollJob(j);

    std::string path;
    EXPECT_EQ(elementState(windows, CWS_ELEMENT_PROXY, &path), QZ_FINISHED)
        << "paths compared after normalisation and ignoring case, profiles ignoring case";
    EXPECT_EQ(path, "d:\\out\\a.mp4") << "the normalised reply target";
    const std::vector<std::string> urls = sent();
    ASSERT_EQ(urls.size(), 2u) << "the status request, then the purge";
    EXPECT_EQ(urls[1], "http://127.0.0.1:1082/vexojson?request=set&group=any&client=127.0.0.1"
                       "&command=copy&source=c:\\media\\a.mov&target=D:/out/a.mp4&profile=PROXY"
                       "&purge=true");
}

TEST_F(PollJob, OutcomeOfAReplyThatDoesNotEndTheJobAsAsked)
{
    const QString md5 = jobString("md5", anchor, anchor, "md5");
    const struct {
        QString job;
        std::string reply;
        int state;        // of the proxy element afterwards (in progress: the job is kept); -1: MD5
        const char* text; // the error, or the MD5 text; null: not checked
    } cases[] = {
        {proxyJob(), statusReply("/media/other.mov", target, "mp4-h264", 5000), QZ_LOST_PROCESS,
         "lost process purged"},
        {proxyJob(), "{\"result\":\"1\",\"resultstring\":\"busy\"}", QZ_IN_PROGRESS, "x"},
        // A proxy job without a target matches only a crash report.
        {jobString("proxy", anchor, "", "mp4-h264"),
         statusReply(anchor, "", "mp4-h264", 10000, 0, "done"), QZ_LOST_PROCESS, nullptr},
        {jobString("proxy", anchor, "", "mp4-h264"),
         statusReply(anchor, "", "mp4-h264", -1, 9, "Process Crashed"), QZ_ERROR, nullptr},
        // A failed MD5 keeps the result text.
        {md5, statusReply(anchor, anchor, "md5", 10000, -3), -1, "Error -3 (0xFFFFFFFD)"},
        {md5, statusReply(anchor, anchor, "md5", 5000, -1), -1, "Error -1 (0xFFFFFFFF)"},
        {md5, statusReply(anchor, anchor, "md5", -1, 1, "C:/x/simulated failure"), -1,
         "C:\\x\\simulated failure"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.job.toStdString() + " " + c.reply);
        addClip(anchor);
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_PROXY, nullptr, "x", QZ_IN_PROGRESS,
                              "x");
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_MD5, "in progress", nullptr,
                              QZ_IN_PROGRESS, nullptr);
        monitor.jobList.clear();
        monitor.jobList.append(c.job);
        answer(c.reply);
        monitor.PollJob(c.job);
        std::string error;
        const int state = elementState(anchor, CWS_ELEMENT_PROXY, nullptr, &error);
        if (c.state == -1) {
            error = md5Text(anchor);
        } else {
            EXPECT_EQ(state, c.state);
        }
        if (c.text) {
            EXPECT_EQ(error, c.text);
        }
        EXPECT_EQ(monitor.jobList.size(), c.state == QZ_IN_PROGRESS ? 1 : 0);
    }
}

TEST_F(PollJob, CountdownRunsOutOnCopyNotFoundUnlessTheJobWasSeenRunning)
{
    answer(kNotFound);
    monitor.jobList.append(proxyJob("&cwstimeout=3"));
    for (const char* left : {"&cwstimeout=2", "&cwstimeout=1"}) {
        monitor.PollJob(monitor.jobList.snapshot()[0]);
        ASSERT_EQ(monitor.jobList.snapshot(), QStringList{proxyJob(left)});
    }
    EXPECT_EQ(elementState(anchor, CWS_ELEMENT_PROXY), 0) << "not failed before the end";
    monitor.PollJob(monitor.jobList.snapshot()[0]);
    EXPECT_TRUE(monitor.jobList.isEmpty());
    std::string path, error;
    EXPECT_EQ(elementState(anchor, CWS_ELEMENT_PROXY, &path, &error), QZ_ERROR);
    EXPECT_EQ(path, target);
    EXPECT_EQ(error, "copy not found");

    // Seen running, it is followed without the countdown: forgotten afterwards, it is missing.
    monitor.jobList.append(proxyJob("&cwstimeout=3"));
    answer(statusReply(anchor, target, "mp4-h264", 100));
    monitor.PollJob(proxyJob("&cwstimeout=3"));
    ASSERT_EQ(monitor.jobList.snapshot(), QStringList{proxyJob("&2")});
    answer(kNotFound);
    monitor.PollJob(proxyJob("&2"));
    EXPECT_TRUE(monitor.jobList.isEmpty());
    EXPECT_EQ(elementState(anchor, CWS_ELEMENT_PROXY), QZ_LOST_PROCESS);
}

TEST_F(PollJob, ProgressIsWrittenOnEveryFourthPollButNeverForMD5)
{
    const std::string other = "/media/b.mov";
    addClip(other);
    dbCWSSetElementStatus(db.get(), -1, other, CWS_ELEMENT_MD5, "in progress", nullptr,
                          QZ_IN_PROGRESS, nullptr);
    const QString proxy = proxyJob();
    const QString md5 = jobString("md5", other, other, "md5");
    monitor.jobList.append(proxy);
    monitor.jobList.append(md5);
    serve([&](const std::string& url) {
        return url.find(other) != std::string::npos ? statusReply(other, other, "md5", 2500)
                                                    : statusReply(anchor, target, "mp4-h264", 2500);
    });
    std::vector<int> written;
    for (uint32_t poll = 1; poll <= 12; ++poll) {
        dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_PROXY, nullptr, nullptr,
                              QZ_IN_PROGRESS, "none");
        monitor.PollJob(poll == 8 ? md5 : proxy);
        std::string error;
        elementState(anchor, CWS_ELEMENT_PROXY, nullptr, &error);
        if (error != "none") {
            EXPECT_EQ(error, "Progress 25.00% Complete");
            written.push_back(static_cast<int>(poll));
        }
    }
    EXPECT_EQ(written, (std::vector<int>{4, 12})) << "poll 8 was the MD5 job's";
    EXPECT_EQ(md5Text(other), "in progress");
}

} // namespace
