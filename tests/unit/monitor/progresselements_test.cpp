// Progress element rules with a controllable clock.
#include "monitor/progresselements.h"

#include <gtest/gtest.h>

class ProgressElementsTest : public ::testing::Test
{
protected:
    uint32_t now = 1000;
    std::vector<QString> removed; // sources whose job strings were removed
    std::vector<std::pair<QString, uint32_t>> aborted;
    ProgressElements elements{{[this](const ProgressElement& e) { removed.push_back(e.source); },
                               [this](const ProgressElement& e, uint32_t minutes) {
                                   aborted.push_back({e.source, minutes});
                               }},
                              [this] { return now; }};

    bool update(const QString& source, int progress)
    {
        return elements.update("addr", source, "/OUT/" + source, "Proxy", progress, 10, 20);
    }
};

TEST_F(ProgressElementsTest, RegressionIsIgnoredButEndingsAreRecorded)
{
    EXPECT_FALSE(update("a", 5000));
    EXPECT_FALSE(update("a", 4000));
    ASSERT_EQ(elements.snapshot().size(), 1u);
    EXPECT_EQ(elements.snapshot()[0].target, "/out/a") << "texts are kept lower-cased";
    EXPECT_FALSE(update("A", -7)) << "an error code is ignored, upper case finds the element";
    EXPECT_EQ(elements.snapshot()[0].progress, 5000);
    EXPECT_TRUE(update("a", -1));
    EXPECT_TRUE(elements.snapshot().empty()) << "an ended element is removed";
}

TEST_F(ProgressElementsTest, StalledJobIsAbortedAfterFourHours)
{
    update("a", 2500);
    update("a", 3000);
    now += ProgressElements::kStalledAbortMs;
    EXPECT_FALSE(update("a", 3000));
    EXPECT_TRUE(aborted.empty()) << "exactly four hours is not yet more than four hours";
    now += 60001;
    EXPECT_FALSE(update("a", 3000));
    ASSERT_EQ(aborted.size(), 1u);
    EXPECT_EQ(aborted[0].second, 241u);
    EXPECT_TRUE(elements.snapshot().empty());
}

TEST_F(ProgressElementsTest, EndedElementsOfOtherJobsGoAfterTenSeconds)
{
    update("running", 5000);
    EXPECT_TRUE(elements.update("x", "lost1", "t", "p", -2, 10, 20));
    EXPECT_TRUE(elements.update("x", "lost2", "t", "p", -2, 10, 20));
    now += ProgressElements::kEndedDropMs;
    update("other", 100);
    EXPECT_TRUE(removed.empty());
    now += 1;
    update("running", 5100);
    EXPECT_TRUE(removed.empty()) << "the walk stops at the polled job's own element";
    update("third", 100);
    EXPECT_EQ(removed, (std::vector<QString>{"lost1", "lost2"}))
        << "two removals in a row: the second element is examined too";
    EXPECT_EQ(elements.snapshot().size(), 3u);
}

TEST_F(ProgressElementsTest, WaitingJobDropsElementsIdleForTwoMinutesIncludingNeighbours)
{
    update("b", 6000);
    update("c", 7000);
    update("d", 8000);
    now += 120001;
    update("d", 8000);
    EXPECT_TRUE(removed.empty()) << "only a poll that reports 0 drops idle elements";
    update("new", 0);
    EXPECT_EQ(removed, (std::vector<QString>{"b", "c", "d"}))
        << "a removal does not skip the next element";
}

TEST_F(ProgressElementsTest, CapacityFollowsTheLimits)
{
    for (int i = 0; i < 200; ++i)
        update(QString::number(i), 10);
    EXPECT_EQ(elements.snapshot().size(), 130u);
    EXPECT_TRUE(update("overflow", 10000)) << "an ended progress still answers final";
}
