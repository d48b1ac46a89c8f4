// Service requests: the template choices and the derived job, purge strings.
#include "platform/vexorequests.h"

#include <gtest/gtest.h>

TEST(VexoRequests, CompRequestTakesHeightAndWidthOnlyWhenSet)
{
    const std::string base = "http://127.0.0.5:1080/vexojson?request=set&client=127.0.0.9"
                             "&command=copy&source=/m/a.mxf&target=/p/a.mp4&profile=mp4-h264"
                             "&kilobitrate=2000";
    auto comp = [](int height, int width) {
        return vexoCompRequest("127.0.0.5", "127.0.0.9", "/m/a.mxf", "/p/a.mp4", "mp4-h264", 2000,
                               height, width);
    };
    EXPECT_EQ(comp(0, 0), base);
    EXPECT_EQ(comp(0, 640), base + "&width=640");
    EXPECT_EQ(comp(360, -1), base + "&height=360");
    EXPECT_EQ(comp(360, 640), base + "&height=360&width=640");
}

TEST(VexoRequests, FixedProfileJobsAndPicon)
{
    const std::string start = "http://h:1080/vexojson?request=set&client=c&command=copy";
    EXPECT_EQ(vexoJobRequest(VexoJob::Xmp, "h", "c", "/s", "/t"),
              start + "&source=/s&target=/t&profile=xmp");
    EXPECT_EQ(vexoJobRequest(VexoJob::Rtin, "h", "c", "/s", "/t"),
              start + "&source=/s&target=/t&profile=index&absin=0&absout=-1");
    EXPECT_EQ(vexoJobRequest(VexoJob::Wrap, "h", "c", "/s", "/t"),
              start + "&source=/s&target=/t&profile=wrap&group=1");
    EXPECT_EQ(vexoJobRequest(VexoJob::Md5, "h", "c", "/s", "/s"),
              start + "&source=/s&target=/s&profile=md5");
    EXPECT_EQ(vexoPiconRequest("h", "h", "/s", "/t.jpg", 320, 10, 100),
              "http://h:1080/vexojson?request=set&client=h&command=copy&pisrc=/s&pidst=/t.jpg"
              "&profile=picon&width=320&piframe=10&piquality=100");
    const std::string longPath(20000, 'p');
    EXPECT_EQ(vexoJobRequest(VexoJob::Xmp, "h", "c", longPath, "/t"),
              start + "&source=" + longPath + "&target=/t&profile=xmp")
        << "no fixed buffer cuts a long path";
}

TEST(VexoRequests, JobStringsAndThePurgeOfAStatusRequest)
{
    EXPECT_EQ(vexoJobString("U", "md5", true), "U&type=md5");
    EXPECT_EQ(vexoJobString("U", "picon", false), "U&type=picon&cwstimeout=10");
    EXPECT_EQ(vexoPurgeRequest("http://h:1080/vexojson?request=get&group=any&client=c"),
              "http://h:1080/vexojson?request=set&group=any&client=c&purge=true");
    EXPECT_EQ(vexoPurgeRequest("http://request=get/vexojson?group=any&request=get"),
              "http://request=get/vexojson?group=any&request=set&purge=true")
        << "only the query is changed";
}

TEST(VexoRequests, ServiceWideRequests)
{
    EXPECT_EQ(vexoAddressRequest("h", "c"),
              "http://h:1080/vexojson?request=address&client=c&group=0&channel=0");
    EXPECT_EQ(vexoPurgeAllRequest("h"),
              "http://h:1080/vexo?request=set&client=all&command=copy&complete=1&purge=1");
    EXPECT_EQ(vexoProbeRequest("127.0.0.1"),
              "http://127.0.0.1:1080/vexojson?request=get&client=127.0.0.1&group=0");
    EXPECT_EQ(vexoStalledAbortRequest("h", "c", "/s", "/t", "xmp"),
              "http://h:1080/vexojson?request=set&client=c&command=copy&source=/s&target=/t"
              "&profile=xmp&group=1&abort=1&clear=1");
}
