// Progress element rules with a controllable clock.
#include "monitor/progresselements.h"

#include <gtest/gtest.h>

namespace
{

struct Harness {
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

TEST(ProgressElements, RegressionIsIgnoredButEndingsAreRecorded)
{
    Harness h;
    EXPECT_FALSE(h.update("a", 5000));
    EXPECT_FALSE(h.update("a", 4000));
    ASSERT_EQ(h.elements.snapshot().size(), 1u);
    EXPECT_EQ(h.elements.snapshot()[0].target, "/out/a") << "texts are kept lower-cased";
    EXPECT_FALSE(h.update("A", -7)) << "an error code is ignored, upper case finds the element";
    EXPECT_EQ(h.elements.snapshot()[0].progress, 5000);
    EXPECT_TRUE(h.update("a", -1));
    EXPECT_TRUE(h.elements.snapshot().empty()) << "an ended element is removed";
}

TEST(ProgressElements, StalledJobIsAbortedAfterFourHours)
{
    Harness h;
    h.update("a", 2500);
    h.update("a", 3000);
    h.now += ProgressElements::kStalledAbortMs;
    EXPECT_FALSE(h.update("a", 3000));
    EXPECT_TRUE(h.aborted.empty()) << "exactly four hours is not yet more than four hours";
    h.now += 60001;
    EXPECT_FALSE(h.update("a", 3000));
    ASSERT_EQ(h.aborted.size(), 1u);
    EXPECT_EQ(h.aborted[0].second, 241u);
    EXPECT_TRUE(h.elements.snapshot().empty());
}

TEST(ProgressElements, EndedElementsOfOtherJobsGoAfterTenSeconds)
{
    Harness h;
    h.update("running", 5000);
    EXPECT_TRUE(h.elements.update("x", "lost1", "t", "p", -2, 10, 20));
    EXPECT_TRUE(h.elements.update("x", "lost2", "t", "p", -2, 10, 20));
    EXPECT_EQ(h.elements.snapshot().size(), 3u) << "lost jobs are remembered as ended elements";
    h.now += ProgressElements::kEndedDropMs;
    h.update("other", 100);
    EXPECT_TRUE(h.removed.empty());
    h.now += 1;
    h.update("running", 5100);
    EXPECT_TRUE(h.removed.empty()) << "the walk stops at the polled job's own element";
    h.update("third", 100);
    EXPECT_EQ(h.removed, (std::vector<QString>{"lost1", "lost2"}))
        << "two removals in a row: the second element is examined too";
    EXPECT_EQ(h.elements.snapshot().size(), 3u);
}

TEST(ProgressElements, WaitingJobDropsElementsIdleForTwoMinutesIncludingNeighbours)
{
    Harness h;
    h.update("b", 6000);
    h.update("c", 7000);
    h.update("d", 8000);
    h.now += 120001;
    h.update("d", 8000);
    EXPECT_TRUE(h.removed.empty()) << "only a poll that reports 0 drops idle elements";
    h.update("new", 0);
    EXPECT_EQ(h.removed, (std::vector<QString>{"b", "c", "d"}))
        << "a removal does not skip the next element";
}

TEST(ProgressElements, CapacityFollowsTheLimits)
{
    EXPECT_EQ(ProgressElements::capacity(300, 300), 500u) << "capped";
    Harness h;
    for (int i = 0; i < 200; ++i)
        h.update(QString::number(i), 10);
    EXPECT_EQ(h.elements.snapshot().size(), 130u);
    EXPECT_TRUE(h.update("overflow", 10000)) << "an ended progress still answers final";
}

} // namespace
