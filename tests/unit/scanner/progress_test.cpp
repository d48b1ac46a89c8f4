// Progress: the meter's rate and time left on an injected clock (steady work, too little data,
// stalls, bursts), the time-left text, and an instance's figures from its counts.
#include "scanner/progress.h"
#include "tests/support/instancetest.h"
#include "tests/support/testenv.h"

#include <QDir>

#include <cmath>

namespace
{

constexpr int kPhase = CQZClipwatch::cwsProcessingClips;

// A meter on a clock the test moves.
struct Clocked {
    int64_t now = 0;
    ProgressMeter meter{[this] { return now; }};

    // A unit of work every `everyMs` for `ms`.
    void work(int64_t ms, int64_t everyMs)
    {
        for (const int64_t end = now + ms; now < end;) {
            now += everyMs;
            meter.Add(kPhase, 1);
        }
    }
    int secondsLeft(long remaining) { return meter.Read(kPhase, remaining).secondsLeft; }
};

} // namespace

TEST(ProgressMeter, SteadyRateGivesTheTimeLeft)
{
    // Units per second and the remaining units after a minute of work.
    const std::pair<double, long> cases[] = {{1, 300}, {2, 300}, {25, 10000}};
    for (const auto& [rate, remaining] : cases) {
        Clocked c;
        c.work(60000, static_cast<int64_t>(1000 / rate));
        const ProgressMeter::Reading r = c.meter.Read(kPhase, remaining);
        EXPECT_NEAR(r.rate, rate, rate * 0.04) << rate;
        EXPECT_NEAR(r.secondsLeft, remaining / rate, remaining / rate * 0.04) << rate;
        EXPECT_EQ(r.done, static_cast<int>(std::lround(60 * rate))) << rate;
    }
}

TEST(ProgressMeter, NothingShownWithoutEnoughDataWorkOrRate)
{
    Clocked early;
    early.work(ProgressMeter::kMinSeconds * 1000 - 1000, 500);
    EXPECT_EQ(early.secondsLeft(100), -1) << "before enough data";
    EXPECT_EQ(early.meter.Read(kPhase, 100).rate, 0);
    early.now += 2000;
    EXPECT_GT(early.secondsLeft(100), 0) << "once enough data";

    Clocked c;
    c.work(60000, 500);
    EXPECT_EQ(c.secondsLeft(0), -1) << "nothing remains";
    EXPECT_EQ(c.secondsLeft(1000000000), -1) << "longer than anyone waits";
    EXPECT_EQ(c.meter.Read(0, 100).secondsLeft, -1) << "no working phase";
    c.now += 1000L * ProgressMeter::kWindowSeconds;
    EXPECT_EQ(c.secondsLeft(100), -1) << "nothing done in the window";
    c.work(30000, 500);
    EXPECT_EQ(c.meter.Read(CQZClipwatch::cwsFindClips, 100).secondsLeft, -1) << "a new phase";
}

TEST(ProgressMeter, BurstOrStallMovesTheEstimateLittleEachSecond)
{
    // A burst of 150 units after 90 s at 2 per second, and a 40 s stall.
    for (const unsigned burst : {150u, 0u}) {
        Clocked c;
        c.work(90000, 500);
        c.meter.Add(kPhase, burst);
        int previous = c.secondsLeft(300);
        for (int second = 0; second < 40; ++second) {
            c.now += 1000;
            const int next = c.secondsLeft(300);
            ASSERT_GT(next, 0) << burst << " at " << second;
            EXPECT_LT(std::abs(next - previous), previous * 0.06) << burst << " at " << second;
            previous = next;
        }
    }
}

TEST(ProgressMeter, TimeLeftText)
{
    const std::pair<int, const char*> cases[] = {
        {-1, ""},
        {0, "About 5 s left"},
        {113, "About 115 s left"},
        {150, "About 3 min left"},
        {3590, "About 1 h left"},
        {2 * 3600 + 5 * 60 + 10, "About 2 h 5 min left"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(timeLeftText(seconds).toStdString(), text) << seconds;
}

using InstanceProgress = InstanceTest;

TEST_F(InstanceProgress, FiguresCountFoldersLeftAndElementsLeft)
{
    makeInstance({{"MakePicons", 1}, {"MakeProxy", 1}});
    for (const char* dir : {"/m/", "/m/a/", "/m/b/"})
        ASSERT_EQ(dbCWSAddDirectory(db.get(), dir, 0), 0);
    dbCWSUpdateDirectoryCheck(db.get(), "/m/", 1);
    for (const char* clip : {"/m/a/1.mov", "/m/a/2.mov", "/m/b/3.mov"})
        addClip(clip);
    const auto figures = [this](int state) {
        instance->state = state;
        return instance->Progress();
    };
    figures(CQZClipwatch::cwsFindClips);
    // The status thread reads the counts in a working state.
    ASSERT_TRUE(testenv::waitFor(
        [this] {
            return instance->counts[CWS_COUNT_WAITING] == 3 &&
                   instance->counts[CWS_COUNT_SEARCHED] == 1;
        },
        5000));
    ProgressFigures f = figures(CQZClipwatch::cwsFindClips);
    EXPECT_EQ(f.done, 1);
    EXPECT_EQ(f.total, 3);
    EXPECT_EQ(f.secondsLeft, -1) << "no data yet";
    f = figures(CQZClipwatch::cwsProcessingClips);
    EXPECT_EQ(f.done, 0);
    EXPECT_EQ(f.total, 6) << "picon and proxy of three waiting clips";
    EXPECT_EQ(figures(CQZClipwatch::cwsFindDirectories).total, -1);
    for (const char* dir : {"/walk/c", "/walk/d"})
        ASSERT_TRUE(QDir().mkpath(folder + dir));
    instance->WalkTree((folder + "/walk").toStdString());
    EXPECT_EQ(figures(CQZClipwatch::cwsFindDirectories).done, 2) << "the folders walked";
    EXPECT_EQ(figures(CQZClipwatch::cwsProcessingPaused).total, 0) << "no working phase";
    instance->state = CQZClipwatch::cwsNotRunning;
}
