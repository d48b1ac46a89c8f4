// Reading the loss figure of ping summaries, and the elided label.
#include "ui/elidedlabel.h"
#include "ui/pingloss.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

TEST(PingLoss, ReadsTheFigureBeforePacketLoss)
{
    EXPECT_EQ(pingLoss("3 packets transmitted, 3 received, 0% packet loss, time 2003ms"), 0);
    EXPECT_EQ(pingLoss("4 packets transmitted, 3 received, 25% packet loss"), 25);
    EXPECT_EQ(pingLoss("3 packets transmitted, 0 received, 100% packet loss"), 100);
    EXPECT_EQ(pingLoss("3 packets transmitted, 1 received, +2 errors, 66.6667% packet loss"), 66);
    // A figure that is no number reads as 0; without the summary there is nothing yet.
    EXPECT_EQ(pingLoss("received, % packet loss"), 0);
    EXPECT_EQ(pingLoss("PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data."), std::nullopt);
    EXPECT_EQ(pingLoss("rtt min/avg/max/mdev = 0.046/0.184/0.419/0.166 ms, 5%"), std::nullopt);
}

TEST(ElidedLabel, LongTextElidesInTheMiddleWithTheWholeTextInTheTooltip)
{
    ElidedLabel label;
    const QString path = "/media/storage/projects/a-long-client-name/day-04/card-A/clip0001.mov";
    label.setText(path);
    label.resize(120, 20);
    const QString shown = label.shownText();
    EXPECT_NE(shown, path);
    EXPECT_TRUE(shown.startsWith("/me"));
    EXPECT_TRUE(shown.endsWith(".mov"));
    EXPECT_LT(label.minimumSizeHint().width(), 120);

    label.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&label, &help);
    EXPECT_EQ(QToolTip::text(), path);

    label.setText("Idle");
    EXPECT_EQ(label.shownText(), "Idle");
}
