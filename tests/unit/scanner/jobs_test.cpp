// Element job requests: output names, the requests, the judgement of the service's reply and the
// service that takes each job.
#include "scanner/clipwatch_p.h"
#include "scanner/servicepool.h"
#include "tests/support/instancetest.h"

#include <set>

TEST(OutputNames, BesideTheSourceInTheDirectoryOrRecreatedBelowItWithTheirExtensions)
{
    const struct {
        unsigned code;
        const char *source, *directory;
        int mode;
        const char* expected;
    } cases[] = {
        {CWS_ELEMENT_PICON, "C:\\clips\\a.mov", "D:\\p\\", 0, "D:\\p\\clips\\a.mov.picon.jpg"},
        {CWS_ELEMENT_WRAP, "/m/a.mxf", "/w", 2, "/w/a.mxf"},
        {CWS_ELEMENT_MD5, "/m/a.mxf", "/ignored/", 2, "/m/a.mxf"},
        {CWS_ELEMENT_XMP, "s3://bucket/dir/a.mov", "/x/", 0,
         "/x/dir/a.mov.xmp"}, // below the bucket
        {CWS_ELEMENT_PROXY, "/m/noext", "", 0, "/m/noext.mov"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cwsElementTarget(c.code, c.source, c.directory, c.mode), c.expected) << c.source;
    EXPECT_EQ(cwsErrorCopyPath("/err/", "/media/a b/x.mov"), "/err/media/a b/x.mov");
    EXPECT_EQ(cwsErrorCopyPath("/err/", "C:\\media\\x.mov"), "/err/media\\x.mov");
    EXPECT_EQ(cwsErrorCopyPath("/err/", "s3://bucket/x.mov"), "/err/bucket/x.mov");
    // Mezzanine words match by their beginning, the longest first.
    std::string ext;
    EXPECT_TRUE(cwsMezzanineExtension("MOV-ProRes", &ext) && ext == ".mov") << "ignoring case";
    EXPECT_FALSE(cwsMezzanineExtension("xdcam", &ext));
    EXPECT_TRUE(cwsMezzanineTypeExtension("MP4-fmp4", &ext) && ext == "m4v") << "not \"mp4\"";
    EXPECT_FALSE(cwsMezzanineTypeExtension("avi", &ext));
}

using Jobs = InstanceTest;

TEST_F(Jobs, ProxyNamesTemplatesAndTheAudioOnlyRule)
{
    makeInstance();
    std::string target = "/m/x.mp4";
    EXPECT_EQ(instance->MakeCompFile("/m/x.mp4", target, 0, 640, 197, 2000, "proxy", "", "", false,
                                     false),
              0);
    target = "/p/a.wav";
    EXPECT_EQ(instance->MakeCompFile("/m/a.wav", target, 0, 0, 197, 2000, "proxy", "", "Stereo",
                                     false, false),
              0);
    const QStringList jobs = instance->checkThread.jobList.snapshot();
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(jobs[0].toStdString(),
              "http://127.0.0.1:1080/vexojson?request=set&client=127.0.0.1&command=copy"
              "&source=/m/x.mp4&target=/m/x_proxy.mp4&profile=mp4-h264&kilobitrate=2000"
              "&width=640&flags=timeconversion&type=proxy&cwstimeout=10");
    EXPECT_EQ(jobs[1].toStdString(),
              "http://127.0.0.1:1080/vexojson?request=set&client=127.0.0.1&command=copy"
              "&source=/m/a.wav&target=/p/a.mp3&profile=mp3-128kbps&kilobitrate=2000&stereo=1"
              "&flags=timeconversion&type=proxy&cwstimeout=10");
}

TEST_F(Jobs, MezzanineTypeRoutingFlagsAndLimit)
{
    makeInstance(
        {{"ProxyCmdFlags", "p"}, {"MezzanineCmdFlags", "-g 12"}, {"CompressedFileLimit", 30}});
    std::string target = "/z/a.mov";
    EXPECT_EQ(instance->MakeCompFile("/m/a.mxf", target, 720, 1280, 0, 9000, "mxf", "hd720", "1:2",
                                     false, false),
              0);
    EXPECT_EQ(instance->checkThread.jobList.snapshot().value(0).toStdString(),
              "http://127.0.0.1:1080/vexojson?request=set&client=127.0.0.1&command=copy"
              "&source=/m/a.mxf&target=/z/a.mxf&profile=hd720&kilobitrate=9000&height=720"
              "&width=1280&type=mxf&aroute=1:2&flags=-g 12&flags=timeconversion"
              "&fixout=true&absin=0&absout=30&type=mezzanine&cwstimeout=10");
    target = "/z/a.mov";
    EXPECT_EQ(instance->MakeCompFile("/m/a.mxf", target, 0, 0, 0, 1, "", "", "", false, false), -2)
        << "no mode word";
}

TEST_F(Jobs, FailedProxyRequestsAndTheMD5ReplyJudgement)
{
    makeInstance({{"ProxyMode", 999}, {"MakeProxy", 1}});
    const std::string anchor = addClip(folder.toStdString() + "/media/a.mov");
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, nullptr, "started",
                          QZ_IN_PROGRESS, nullptr);
    instance->MakeElement("proxy", anchor);
    EXPECT_EQ(elementState(anchor, CWS_ELEMENT_PROXY), QZ_ERROR) << "no profile";
    EXPECT_EQ(clipState(anchor), QZ_ERROR) << "no job follows: the clip must not stay started";

    instance->UpdateSettings([](CWSSettings& s) { s.ProxyMode = 197; });
    // Refused and accepted jobs: Monitor.EveryJobIsFollowedToItsSpecifiedEnd.
    answer(std::nullopt);
    instance->MakeElement("proxy", anchor);
    std::string error;
    EXPECT_EQ(elementState(anchor, CWS_ELEMENT_PROXY, nullptr, &error), QZ_NETWORK_ERROR);
    EXPECT_EQ(error, "Proxy Not Created No Response from VexoBase");
    EXPECT_EQ(instance->MakeElement("nonsense", anchor), 0);
    instance->MakeMD5(anchor, true, -1);
    EXPECT_EQ(md5Text(anchor), "Error No VexoBase");
    EXPECT_TRUE(instance->checkThread.jobList.isEmpty());

    answer("{\"result\":\"success\",\"resultstring\":\"fail: no copy\"}");
    instance->MakeMD5(anchor, true, -1);
    EXPECT_EQ(md5Text(anchor), "Error") << "success and fail together count as failed";
    EXPECT_TRUE(instance->checkThread.jobList.isEmpty());
    answer("{\"result\":\"success\"}");
    instance->MakeMD5(anchor, true, -1);
    EXPECT_EQ(md5Text(anchor), "in progress");
    EXPECT_EQ(instance->checkThread.jobList.size(), 1);
}

TEST(ServicePool, JobsCountForTheirServiceAndTheFirstOfTheLeastBusyIsChosen)
{
    const std::string a = "127.0.0.1:1081", b = "127.0.0.1:1082", c = "127.0.0.5";
    const QString ja = "http://127.0.0.1:1081/vexojson?x", jb = "http://127.0.0.1:1082/vexojson?x";
    const QString jc = "http://127.0.0.5:1080/vexojson?x"; // the default port
    const QString other = "http://127.0.0.1:10810/vexojson?x";
    ServicePool pool;
    pool.Use(" 127.0.0.1:1081;;127.0.0.1:1082; 127.0.0.5", "h");
    EXPECT_EQ(pool.Addresses(), (std::vector<std::string>{a, b, c}));
    // Silent services, and none answering: the two-service test below.
    EXPECT_EQ(pool.Choose({ja, jb, jc, jc, other, other}), a)
        << "c's jobs are on its default port, none of port 10810 is a's";
    pool.SetAnswering(b, false);
    pool.Use("127.0.0.1:1082;127.0.0.1:1083", "h");
    EXPECT_EQ(pool.Answering(), 1) << "an address that stays keeps its silence";
}

TEST_F(Jobs, LeastBusyAnsweringServiceTakesEachJobSharesPerService)
{
    makeInstance({{"ServiceHosts", "127.0.0.1:1081;127.0.0.1:1082"},
                  {"MaxTranslations", 10},
                  {"MaxMD5s", 20}});
    std::mutex mutex;
    std::set<int> down;      // ports that answer nothing
    std::vector<int> starts; // the port of every job start
    qzSetHTTPTransport([&](const qzHTTPRequest& r) -> std::optional<std::string> {
        std::lock_guard<std::mutex> lock(mutex);
        const int port = r.url.rfind("http://127.0.0.1:1081/", 0) == 0 ? 1081 : 1082;
        const bool start = r.url.find("flags=timeconversion") != std::string::npos;
        if (start)
            starts.push_back(port);
        if (down.count(port))
            return std::nullopt;
        if (r.url.find("request=address") != std::string::npos)
            return std::string("{\"result\":\"0\",\"address\":\"127.0.0.1\"}");
        return std::string(start ? "{\"result\":\"success\"}" : "{}");
    });
    EXPECT_EQ(instance->JobSettingsNow().maxMD5s, 40u) << "progress room for both services";
    // What happens before each request, the service it goes to, and the instance after it.
    enum Before { Nothing, OneEnds, Probe };
    const struct {
        std::set<int> down;
        Before before;
        const char* element;
        int port;
        int available; // serviceAvailable
        int md5Share;
        int translationShare;
    } steps[] = {
        {{}, Nothing, "md5", 1081, 1, 40, 20},
        {{}, Nothing, "picon", 1082, 1, 40, 20},
        // A job of 1082 ends; 1082 has gone: the request fails, 1081 still answers.
        {{1082}, OneEnds, "proxy", 1082, 1, 20, 10},
        {{1082}, Nothing, "md5", 1081, 1, 20, 10},
        {{}, Nothing, "md5", 1081, 1, 20, 10}, // back, but not asked yet
        {{}, Probe, "md5", 1082, 1, 40, 20},
        {{1081, 1082}, Nothing, "xmp", 1082, 0, 20, 10},
    };
    int clip = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << clip);
        {
            std::lock_guard<std::mutex> lock(mutex);
            down = step.down;
        }
        if (step.before == OneEnds)
            instance->checkThread.jobList.removeLast(instance->checkThread.jobList.snapshot()[1]);
        if (step.before == Probe)
            instance->CheckServiceAddress();
        const std::string anchor =
            addClip(folder.toStdString() + "/media/a" + std::to_string(clip++) + ".mov");
        instance->MakeElement(step.element, anchor);
        {
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_EQ(starts.back(), step.port) << step.element;
        }
        EXPECT_EQ(instance->serviceAvailable, step.available);
        EXPECT_EQ(instance->MD5Share(), step.md5Share);
        EXPECT_EQ(instance->TranslationShare(), step.translationShare);
    }
    instance.reset(); // its monitor asks the transport no more
}
