// Reading of the service's status replies.
#include "monitor/jobreply.h"

#include <gtest/gtest.h>

TEST(JobReply, ReadsQuotedKeysKeepsFirstResultStringAndLastSourceWholeTokensAndCapacities)
{
    QString address = "kept";
    const JobReply r = parseJobReply(
        R"({"progress":"2500","result":"0","resultstring":"first","resultstring":"second",)"
        R"("source":"/a.mov","source":"/b.mov","target":"/o.mp4","profile":"PROXY"})",
        address);
    EXPECT_EQ(r.resultString, "first");
    EXPECT_EQ(r.source, "/b.mov");
    EXPECT_EQ(address, "kept") << "a reply without an address keeps the previous one";
    parseJobReply(R"({"ADDRESS":"127.0.0.5"})", address);
    EXPECT_EQ(address, "127.0.0.5");
    // Non-numbers read as 0, "copy not found" is a whole token.
    const JobReply odd = parseJobReply(R"({"progress":"abc","result":"5"})", address);
    EXPECT_EQ(odd.progress, 0);
    EXPECT_EQ(odd.result, 5);
    EXPECT_EQ(parseJobReply("{}", address).progress, -1) << "-1 until the reply gives one";
    EXPECT_EQ(parseJobReply(R"({"error":"Copy Not Found"})", address).notFound, 1);
    EXPECT_EQ(parseJobReply(R"({"error":"copy not found here"})", address).notFound, 0);

    // Values are cut at their capacity.
    const JobReply cut =
        parseJobReply(R"({"source":")" + QByteArray(5000, 'p') + R"(","profile":")" +
                          QByteArray(300, 'f') + R"(","resultstring":"unterminated)",
                      address);
    EXPECT_EQ(cut.source.size(), kReplyPathCapacity);
    EXPECT_EQ(cut.profile.size(), kReplyProfileCapacity);
    EXPECT_EQ(cut.resultString, "unterminated")
        << "a value without a closing quote runs to the end";
}
