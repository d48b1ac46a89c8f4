// The watch mode's reading of status replies.
#include "control/xmlreply.h"
#include "tools/clipwatchctl/watch.h"

#include <gtest/gtest.h>

using namespace ctl;

TEST(Watch, StatusReplyGivesTheProgressLine)
{
    const QString doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<clipwatch>\n"
                        "<return value=\"0\">0</return>\n"
                        "<ScanStatus>1</ScanStatus>\n<totalDirectories>4</totalDirectories>\n"
                        "<totalClips>12</totalClips>\n<clipsCompleted>3</clipsCompleted>\n"
                        "<erroredClips>1</erroredClips>\n<processesWaiting>2</processesWaiting>\n"
                        "<state>state=processingclips</state>\n<operation></operation>\n"
                        "</clipwatch>\n";
    const auto values = control::replyValues(doc);
    EXPECT_EQ(values.value("state"), "state=processingclips");
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
