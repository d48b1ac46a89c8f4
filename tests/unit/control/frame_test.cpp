// Inbound frame parsing over the bounded receive buffer, and the XML reply documents.
#include "control/frame.h"
#include "control/xmlreply.h"

#include <gtest/gtest.h>

using control::InboundFrame;
using control::takeFrame;

namespace
{

QString frameOf(const QString& request)
{
    return "<elf>CWSCTL01" + request + "<elf>";
}

} // namespace

TEST(Frames, CompleteFramesAreTakenInOrderAndPartialOnesWait)
{
    QString buffer = frameOf("scandir=0&getstate&sdims=1") + frameOf("scandir=1&sdims=2");
    buffer += "<elf>CWSCTL01scandir=2&sd";
    InboundFrame frame;
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "scandir=0&getstate&sdims=1");
    EXPECT_EQ(frame.sdims, "1");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.sdims, "2");
    EXPECT_FALSE(takeFrame(buffer, frame));
    buffer += "ims=3<elf>";
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "scandir=2&sdims=3");
    EXPECT_TRUE(buffer.isEmpty());
}

TEST(Frames, OddFrames)
{
    InboundFrame frame;
    QString buffer = "<elf>CWSCTL01<elf>";
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_TRUE(frame.request.isEmpty());
    // Without "sdims=", the whole inside of the frame is sent back.
    buffer = frameOf("scandir=0");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.sdims, "CWSCTL01scandir=0");
    buffer = "<elf>ab<elf>";
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_TRUE(frame.request.isEmpty());
}

TEST(Frames, TextOutsideFramesAndUnfinishedFramesAreDropped)
{
    InboundFrame frame;
    QString buffer = "garbage before" + frameOf("scandir=0&sdims=9");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "scandir=0&sdims=9");

    buffer = QString(5000, 'x') + "<el";
    EXPECT_FALSE(takeFrame(buffer, frame));
    EXPECT_EQ(buffer, "x<el") << "only a tail that may start a marker is kept";
    buffer += "f>CWSCTL01getfirstscandir<elf>";
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "getfirstscandir");

    buffer = "<elf>" + QString(control::kMaxOpenFrame, 'y');
    EXPECT_FALSE(takeFrame(buffer, frame));
    EXPECT_TRUE(buffer.isEmpty()) << "an unfinished frame beyond the bound is dropped";
    buffer += frameOf("scandir=1");
    ASSERT_TRUE(takeFrame(buffer, frame));
    EXPECT_EQ(frame.request, "scandir=1");

    // The same frame and the next one in one read: the marker after it opens the next frame.
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
    EXPECT_EQ(control::replyDocument(-3, std::string("error=noinstance")),
              head + "<return value=\"-3\">-3</return>\n\t<error>noinstance</error>\n" +
                  "</clipwatch>\n");
    // A bare word, empty parts, a value holding "=" and text that needs escaping.
    EXPECT_EQ(control::replyDocument(2, std::string("word&&a=b=c&p=x<y>&z")),
              head + "<return value=\"2\">2</return>\n\t<word> 1 </word>\n\t<> 1 </>\n"
                     "\t<a>b</a>\n\t<p>x&lt;y&gt;</p>\n\t<z> 1 </z>\n</clipwatch>\n");
    EXPECT_EQ(control::replyDocument(0, std::string("<ScanStatus>1</ScanStatus>\n")),
              head + "<return value=\"0\">0</return>\n<ScanStatus>1</ScanStatus>\n\n" +
                  "</clipwatch>\n");
}
