// The job table: restarts, lookups ignoring case, jobs removed before or while they run, and
// workers released at shutdown.
#include "tools/vexobase/jobtable.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vexobase;

namespace
{

JobOrder order(const std::string& source)
{
    JobOrder order;
    order.key = JobKey{"c", source, source + ".xmp", "xmp"};
    return order;
}

TEST(JobTable, AnEndedJobStartedAgainRunsWithoutItsOldWorker)
{
    JobTable table;
    table.start(order("/a"));
    const std::optional<JobTicket> old = table.takeNext();
    ASSERT_TRUE(old);
    table.finish(old->id, kProgressFailed, 3, "broken");
    EXPECT_TRUE(table.start(order("/a")));
    EXPECT_TRUE(old->cancelled->load());
    table.finish(old->id, kProgressDone, 0, "late");
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

TEST(JobTable, RemovedAndAbortedJobsAreNeitherRunNorReported)
{
    JobTable table;
    for (const char* source : {"/running", "/purged", "/aborted", "/forgotten"})
        table.start(order(source));
    const std::optional<JobTicket> running = table.takeNext();
    ASSERT_TRUE(running);
    table.abort(order("/running").key, false);
    table.finish(running->id, kProgressDone, 0, "late");
    EXPECT_EQ(table.find(order("/running").key)->status.resultString, "aborted");

    EXPECT_TRUE(table.purge(order("/purged").key));
    EXPECT_FALSE(table.purge(order("/purged").key));
    table.abort(order("/aborted").key, false);
    const std::optional<JobTicket> ticket = table.takeNext();
    ASSERT_TRUE(ticket);
    EXPECT_EQ(ticket->order.key.source, "/forgotten");
    table.forget(ticket->id);
    table.finish(ticket->id, kProgressDone, 0, "late");
    EXPECT_FALSE(table.find(order("/forgotten").key));
}

TEST(JobTable, ShutdownReleasesWaitingWorkers)
{
    JobTable table;
    std::optional<JobTicket> taken = JobTicket{};
    std::thread worker([&] { taken = table.takeNext(); });
    table.shutdown();
    worker.join();
    EXPECT_FALSE(taken);
}

} // namespace
