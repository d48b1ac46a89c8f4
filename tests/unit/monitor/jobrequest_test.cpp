// Status URL building from job strings and reading of status replies.
#include "monitor/jobreply.h"
#include "monitor/jobrequest.h"

#include <gtest/gtest.h>

namespace
{

const QString kBase = "http://127.0.0.1:1080/";

TEST(JobRequest, StatusUrlsFromJobStrings)
{
    const struct {
        QString job, statusUrl, source, target;
        int elementCode;
    } cases[] = {
        // An ampersand in a source or target continues the value.
        {"vexojson?request=set&client=127.0.0.9&command=copy&source=/m/a&b.mov"
         "&target=/o/a&b_proxy.mp4&profile=mp4-h264&width=640&kilobitrate=800&type=proxy",
         "vexojson?request=get&group=any&client=127.0.0.9&command=copy&source=/m/a&b.mov"
         "&target=/o/a&b_proxy.mp4&profile=mp4-h264",
         "/m/a&b.mov", "/o/a&b_proxy.mp4", 4},
        // Picon keys become source and target; the picon values are left out.
        {"vexojson?request=set&client=c&command=copy&pisrc=/m/x.mxf&pidst=/p/x.jpg"
         "&profile=picon&piframe=400&pisize=120&type=picon",
         "vexojson?request=get&group=any&client=c&command=copy&source=/m/x.mxf&target=/p/x.jpg"
         "&profile=picon",
         "/m/x.mxf", "/p/x.jpg", 1},
        // Unknown fragments are dropped without opening a value.
        {"vexojson?request=set&client=c&command=copy&profile=md5&stray&source=/m/y.mov&type=md5",
         "vexojson?request=get&group=any&client=c&command=copy&profile=md5&source=/m/y.mov",
         "/m/y.mov", "", 65536},
    };
    for (const auto& c : cases) {
        const JobRequest r = parseJobString(kBase + c.job);
        EXPECT_EQ(r.statusUrl, kBase + c.statusUrl);
        EXPECT_EQ(r.source, c.source);
        EXPECT_EQ(r.target, c.target);
        EXPECT_EQ(r.elementCode, c.elementCode);
        EXPECT_EQ(r.countdown, -1);
    }
}

TEST(JobRequest, CountdownIsRemovedAtZeroAndANonNumberReadsAsZero)
{
    // Its lowering through the polls: PollJob.CountdownRunsOutOnCopyNotFound.
    const JobRequest last = parseJobString(kBase + "vexojson?source=/a.mov&cwstimeout=1&type=xmp");
    EXPECT_EQ(last.countdown, 0);
    EXPECT_FALSE(last.jobCopy.contains("cwstimeout"));
    EXPECT_EQ(parseJobString(kBase + "vexojson?cwstimeout=x&type=xmp").countdown, -1);
}

TEST(JobReply, ReadsQuotedKeysKeepsFirstResultStringAndLastSourceAndWholeTokens)
{
    QString address = "kept";
    const JobReply r = parseJobReply(
        R"({"progress":"2500","result":"0","resultstring":"first","resultstring":"second",)"
        R"("source":"/a.mov","source":"/b.mov","target":"/o.mp4","profile":"PROXY"})",
        address);
    EXPECT_EQ(r.progress, 2500);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.resultString, "first");
    EXPECT_EQ(r.source, "/b.mov");
    EXPECT_EQ(r.target, "/o.mp4");
    EXPECT_EQ(r.profile, "PROXY");
    EXPECT_EQ(address, "kept") << "a reply without an address keeps the previous one";
    parseJobReply(R"({"ADDRESS":"127.0.0.5"})", address);
    EXPECT_EQ(address, "127.0.0.5");
    // Result -1 fails the job, non-numbers read as 0, "copy not found" is a whole token.
    EXPECT_EQ(parseJobReply(R"({"progress":"5000","result":"-1"})", address).progress, -1);
    const JobReply odd = parseJobReply(R"({"progress":"abc","result":"5"})", address);
    EXPECT_EQ(odd.progress, 0);
    EXPECT_EQ(odd.result, 5);
    EXPECT_EQ(parseJobReply("{}", address).progress, -1) << "-1 until the reply gives one";
    EXPECT_EQ(parseJobReply(R"({"error":"Copy Not Found"})", address).notFound, 1);
    EXPECT_EQ(parseJobReply(R"({"error":"copy not found here"})", address).notFound, 0);
}

TEST(JobReply, ValuesAreCutAtTheirCapacity)
{
    QString address;
    const QByteArray longPath(5000, 'p');
    const QByteArray longProfile(300, 'f');
    const JobReply r = parseJobReply(R"({"source":")" + longPath + R"(","profile":")" +
                                         longProfile + R"(","resultstring":"unterminated)",
                                     address);
    EXPECT_EQ(r.source.size(), kReplyPathCapacity);
    EXPECT_EQ(r.profile.size(), kReplyProfileCapacity);
    EXPECT_EQ(r.resultString, "unterminated") << "a value without a closing quote runs to the end";
}

} // namespace
