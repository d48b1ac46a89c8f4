// The frame codec both ways over bounded receive buffers, and the XML reply documents.
#include "control/frame.h"
#include "control/xmlreply.h"

#include <gtest/gtest.h>

using control::InboundFrame;
using control::takeFrame;

static QString frameOf(const QString& request)
{
    return "<elf>CWSCTL01" + request + "<elf>";
}

// The greeting and tagged replies: the end-to-end controller test.
TEST(Frames, ControllerWaitsForAWholeReplyAndDropsOneThatNeverEnds)
{
    control::FrameReader reader;
    control::Received r;
    const QString second = control::replyFrame("8", 0, std::nullopt);
    reader.append(control::replyFrame("7", 4, std::string("path=a<b")) + second.left(30));
    ASSERT_TRUE(reader.next(r));
    EXPECT_TRUE(r.isReply && r.tag == "7");
    EXPECT_FALSE(reader.next(r)) << "the second reply is not complete yet";
    reader.append(second.mid(30) + "<elf>cwsms=1&cwsxml=" + QString(control::kMaxOpenFrame, 'x'));
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.tag, "8");
    EXPECT_FALSE(reader.next(r));
    reader.append(control::replyFrame("3", 0, std::nullopt));
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.tag, "3");
}

// Frames joined and split across reads: the end-to-end controller test.
TEST(Frames, OddFramesTextOutsideFramesAndUnfinishedFramesAreDropped)
{
    InboundFrame frame;
    // Nothing inside, no "sdims=" (the whole inside is the tag), no lead-in.
    QString buffer = "<elf>CWSCTL01<elf>" + frameOf("scandir=0") + "<elf>ab<elf>";
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_TRUE(frame.request.isEmpty());
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.sdims, "CWSCTL01scandir=0");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_TRUE(frame.request.isEmpty());

    buffer = "garbage before" + frameOf("scandir=0&sdims=9");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "scandir=0&sdims=9");
    EXPECT_EQ(frame.sdims, "9");

    buffer = QString(5000, 'x') + "<el";
    EXPECT_FALSE(takeFrame(buffer, frame));
    EXPECT_EQ(buffer, "x<el") << "only a tail that may start a marker is kept";
    buffer += "f>CWSCTL01getfirstscandir<elf>";
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "getfirstscandir");

    buffer = "<elf>" + QString(control::kMaxOpenFrame, 'y');
    EXPECT_FALSE(takeFrame(buffer, frame));
    EXPECT_TRUE(buffer.isEmpty()) << "an unfinished frame beyond the bound is dropped";
    // Beyond the bound with the next frame in one read: the marker after it opens that frame.
    buffer = "<elf>" + QString(control::kMaxOpenFrame, 'y') + frameOf("scandir=2&sdims=5");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "scandir=2&sdims=5");
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(ReplyDocuments, ByteForByte)
{
    const QString head = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<clipwatch>\n";
    EXPECT_EQ(control::replyFrame("7", 0, std::string("state=paused&value=0")),
              "<elf>cwsms=7&&cwsxml=" + head +
                  "<return value=\"0\">0</return>\n\t<state>paused</state>\n"
                  "\t<value>0</value>\n</clipwatch>\n<elf>");
    EXPECT_EQ(control::replyFrame("8", 0, std::nullopt),
              "<elf>cwsms=8&cwsxml=" + head + "\t<value>0</value>\n</clipwatch>\n<elf>");
    // A bare word, empty parts, a value holding "=" and text that needs escaping.
    EXPECT_EQ(control::replyDocument(2, std::string("word&&a=b=c&p=x<y>&z")),
              head + "<return value=\"2\">2</return>\n\t<word> 1 </word>\n\t<> 1 </>\n"
                     "\t<a>b</a>\n\t<p>x&lt;y&gt;</p>\n\t<z> 1 </z>\n</clipwatch>\n");
    EXPECT_EQ(control::replyDocument(0, std::string("<ScanStatus>1</ScanStatus>\n")),
              head + "<return value=\"0\">0</return>\n<ScanStatus>1</ScanStatus>\n\n" +
                  "</clipwatch>\n");
}
