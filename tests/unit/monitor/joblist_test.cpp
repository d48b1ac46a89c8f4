// The job list: removals and concurrent use.
#include "monitor/joblist.h"

#include <gtest/gtest.h>

#include <QMutexLocker>

#include <atomic>
#include <thread>
#include <vector>

TEST(JobList, RemovalsTakeTheStatedOccurrence)
{
    QStringListThreadSafe jobs;
    for (const char* job : {"a&type=picon", "b&type=proxy", "a&type=picon", "c&type=xmp"})
        jobs.append(job);

    EXPECT_TRUE(jobs.removeFirst("a&type=picon"));
    EXPECT_EQ(jobs.snapshot(), QStringList({"b&type=proxy", "a&type=picon", "c&type=xmp"}));
    jobs.append("b&type=proxy");
    EXPECT_TRUE(jobs.removeLast("b&type=proxy"));
    EXPECT_EQ(jobs.snapshot(), QStringList({"b&type=proxy", "a&type=picon", "c&type=xmp"}));
    EXPECT_FALSE(jobs.removeFirst("A&type=picon")) << "whole strings, case-sensitive";
    EXPECT_FALSE(jobs.removeLast("b&type="));

    // removeIf examines every entry once after shifts.
    jobs.clear();
    for (const char* job : {"src=A", "src=a", "src=B", "src=A", "src=A"})
        jobs.append(job);
    const QStringList removed =
        jobs.removeIf([](const QString& j) { return j.contains("src=a", Qt::CaseInsensitive); });
    EXPECT_EQ(removed, QStringList({"src=A", "src=a", "src=A", "src=A"}));
    EXPECT_EQ(jobs.snapshot(), QStringList({"src=B"}));
}

TEST(JobList, ConcurrentAppendsRemovalsAndSnapshotsLoseNothing)
{
    QStringListThreadSafe jobs;
    constexpr int writers = 4, perWriter = 2000;
    std::atomic<int> removed{0};
    std::atomic<bool> writing{true};
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([&, w] {
            for (int i = 0; i < perWriter; ++i)
                jobs.append(QString("job-%1-%2").arg(w).arg(i));
        });
    // The monitor: polls snapshots and takes out what it saw.
    std::thread monitor([&] {
        while (writing || !jobs.isEmpty()) {
            for (const QString& job : jobs.snapshot())
                if (jobs.removeFirst(job))
                    ++removed;
        }
    });
    // An abort pass holding the lock across a whole removal walk, re-locking inside.
    std::thread abort([&] {
        for (int pass = 0; pass < 50; ++pass) {
            QMutexLocker held(jobs.lock());
            removed +=
                jobs.removeIf([](const QString& j) { return j.startsWith("job-0-"); }).size();
        }
    });
    for (auto& t : threads)
        t.join();
    abort.join();
    writing = false;
    monitor.join();
    EXPECT_EQ(removed.load(), writers * perWriter);
    EXPECT_TRUE(jobs.isEmpty());
}
