// The job table: keys, restarts, purges, aborts and the worker queue.
#include "tools/vexobase/jobtable.h"

#include <gtest/gtest.h>

using namespace vexobase;

namespace
{

JobOrder order(const std::string& source, const std::string& client = "c")
{
    JobOrder order;
    order.key = JobKey{client, source, source + ".xmp", "xmp"};
    return order;
}

TEST(JobTable, RunningJobIsKeptAndEndedJobReplaced)
{
    JobTable table;
    EXPECT_TRUE(table.start(order("/a")));
    EXPECT_FALSE(table.start(order("/a")));
    const std::optional<JobTicket> ticket = table.takeNext();
    ASSERT_TRUE(ticket);
    table.setProgress(ticket->id, 4000);
    EXPECT_EQ(table.find(order("/a").key)->status.progress, 4000);
    table.finish(ticket->id, kProgressFailed, 3, "broken");
    EXPECT_EQ(table.find(order("/a").key)->status.result, 3);
    EXPECT_TRUE(table.start(order("/a")));
    EXPECT_TRUE(ticket->cancelled->load()) << "the old job's worker is told to stop";
    EXPECT_EQ(table.find(order("/a").key)->status.state, JobState::Queued);
}

TEST(JobTable, FindsByKeyIgnoringCaseOnlyWhenUnambiguous)
{
    JobTable table;
    table.start(order("/M/A.mov"));
    EXPECT_TRUE(table.find(order("/m/a.mov").key));
    table.start(order("/m/A.mov"));
    EXPECT_TRUE(table.find(order("/M/A.mov").key)) << "exact match wins";
    EXPECT_FALSE(table.find(order("/m/a.mov").key)) << "two candidates: none";
}

TEST(JobTable, PurgedAndForgottenJobsLeaveTheTableAndQueue)
{
    JobTable table;
    table.start(order("/a"));
    table.start(order("/b"));
    EXPECT_TRUE(table.purge(order("/a").key));
    EXPECT_FALSE(table.purge(order("/a").key));
    const std::optional<JobTicket> ticket = table.takeNext();
    ASSERT_TRUE(ticket);
    EXPECT_EQ(ticket->order.key.source, "/b") << "the purged job is skipped";
    table.forget(ticket->id);
    EXPECT_EQ(table.size(), 0u);
    table.finish(ticket->id, kProgressDone, 0, "late"); // no entry: nothing happens
    EXPECT_EQ(table.size(), 0u);
}

TEST(JobTable, AbortEndsOrClears)
{
    JobTable table;
    table.start(order("/a"));
    table.start(order("/b"));
    const std::optional<JobView> before = table.abort(order("/a").key, false);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->status.state, JobState::Queued);
    const JobStatus after = table.find(order("/a").key)->status;
    EXPECT_EQ(after.progress, kProgressFailed);
    EXPECT_EQ(after.resultString, "aborted");
    EXPECT_TRUE(table.abort(order("/b").key, true));
    EXPECT_FALSE(table.find(order("/b").key));
    EXPECT_FALSE(table.abort(order("/zz").key, false));
}

TEST(JobTable, PurgeEndedTakesOnlyEndedJobsOfTheClient)
{
    JobTable table;
    for (const char* client : {"one", "two"}) {
        table.start(order("/done", client));
        table.start(order("/running", client));
    }
    for (int i = 0; i < 4; ++i) {
        const std::optional<JobTicket> ticket = table.takeNext();
        if (ticket->order.key.source == "/done")
            table.finish(ticket->id, kProgressDone, 0, "complete");
    }
    EXPECT_EQ(table.purgeEnded("one"), 1);
    EXPECT_TRUE(table.find(order("/done", "two").key));
    EXPECT_EQ(table.purgeEnded("all"), 1);
    EXPECT_EQ(table.size(), 2u);
}

TEST(JobTable, ShutdownReleasesWaitingWorkers)
{
    JobTable table;
    table.start(order("/a"));
    const std::optional<JobTicket> ticket = table.takeNext();
    table.shutdown();
    EXPECT_TRUE(ticket->cancelled->load());
    EXPECT_FALSE(table.takeNext());
}

} // namespace
