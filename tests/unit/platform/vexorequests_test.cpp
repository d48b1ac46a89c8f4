// Service requests: optional size fragments, long paths, and the purge of a status request.
#include "platform/vexorequests.h"

#include <gtest/gtest.h>

TEST(VexoRequests, SizesOnlyWhenSetPathsNeverCutPurgeChangesOnlyTheQuery)
{
    const auto comp = [](int height, int width) {
        return vexoCompRequest("h", "c", "/m/a.mxf", "/p/a.mp4", "mp4-h264", 2000, height, width);
    };
    EXPECT_EQ(comp(0, 0).find("height"), std::string::npos);
    EXPECT_EQ(comp(360, -1).substr(comp(0, 0).size()), "&height=360");

    const std::string longPath(20000, 'p');
    EXPECT_EQ(vexoJobRequest(VexoJob::Xmp, "h", "c", longPath, "/t"),
              "http://h:1080/vexojson?request=set&client=c&command=copy&source=" + longPath +
                  "&target=/t&profile=xmp");

    EXPECT_EQ(vexoPurgeRequest("http://request=get/vexojson?group=any&request=get"),
              "http://request=get/vexojson?group=any&request=set&purge=true");
}
