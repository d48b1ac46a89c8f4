// Reply frame reading: whole, split, several in one read, greetings, the bound on the buffer.
#include "tools/clipwatchctl/frame.h"
#include "tools/clipwatchctl/watch.h"

#include <gtest/gtest.h>

using namespace ctl;

TEST(FrameReader, SplitsRepliesAndGreetingsInOrder)
{
    FrameReader reader;
    Received r;
    reader.append("Clipwatch Connected @ 11.30.00 AM 07/12/2026 host : 6216 From 127.0.0.1 : 5<elf>"
                  "<elf>cwsms=1&&cwsxml=<clipwatch>a</clipwatch>\n<elf>"
                  "<elf>cwsms=2&cwsxml=<clipwatch>b");
    ASSERT_TRUE(reader.next(r));
    EXPECT_FALSE(r.isReply);
    EXPECT_TRUE(r.text.startsWith("Clipwatch Connected @"));
    ASSERT_TRUE(reader.next(r));
    EXPECT_TRUE(r.isReply);
    EXPECT_EQ(r.tag, "1");
    EXPECT_EQ(r.text, "<clipwatch>a</clipwatch>\n");
    EXPECT_FALSE(reader.next(r)) << "the second reply is not complete yet";
    reader.append("</clipwatch>\n<elf>");
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.tag, "2");
    EXPECT_EQ(r.text, "<clipwatch>b</clipwatch>\n");
    EXPECT_FALSE(reader.next(r));
}

TEST(FrameReader, TextThatNeverEndsIsDropped)
{
    FrameReader reader;
    Received r;
    reader.append("<elf>cwsms=1&cwsxml=");
    reader.append(QString(FrameReader::kMaxPending, 'x'));
    EXPECT_FALSE(reader.next(r));
    reader.append("<elf>cwsms=3&cwsxml=<v>1</v><elf>");
    ASSERT_TRUE(reader.next(r)) << "the connection goes on with the next frame";
    EXPECT_EQ(r.tag, "3");
}

TEST(RequestFrame, CarriesLeadInRequestAndTag)
{
    EXPECT_EQ(requestFrame("scandir=0&getstate", "7"),
              "<elf>CWSCTL01scandir=0&getstate&sdims=7<elf>");
}

TEST(ReplyValues, ReadsReturnBodyAndStatusFragment)
{
    const QString doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<clipwatch>\n"
                        "<return value=\"0\">0</return>\n"
                        "<ScanStatus>1</ScanStatus>\n<totalDirectories>4</totalDirectories>\n"
                        "<totalClips>12</totalClips>\n<clipsCompleted>3</clipsCompleted>\n"
                        "<erroredClips>1</erroredClips>\n<processesWaiting>2</processesWaiting>\n"
                        "<state>state=processingclips</state>\n<operation></operation>\n"
                        "\t<word> 1 </word>\n</clipwatch>\n";
    const auto values = replyValues(doc);
    EXPECT_EQ(values.value("return"), "0");
    EXPECT_EQ(values.value("totalClips"), "12");
    EXPECT_EQ(values.value("state"), "state=processingclips");
    EXPECT_EQ(values.value("word"), "1");
    EXPECT_TRUE(values.contains("operation"));
    EXPECT_FALSE(isIdle(values));
    EXPECT_TRUE(progressLine(0, values).contains("clips 3 completed of 12"));
}

TEST(Watch, IdleNeedsAnIdleStateAndNoWaitingJobs)
{
    EXPECT_TRUE(isIdle({{"state", "state=complete"}, {"processesWaiting", "0"}}));
    EXPECT_TRUE(isIdle({{"state", "state=notrunning"}, {"processesWaiting", "0"}}));
    EXPECT_FALSE(isIdle({{"state", "state=notrunning"}, {"processesWaiting", "3"}}));
    EXPECT_FALSE(isIdle({{"state", "state=paused"}, {"processesWaiting", "0"}}));
}
