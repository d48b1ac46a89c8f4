// The service half of the reachability check against the reference service on 127.0.0.1:1080
// holding its replies: a probe resumes the auto-start instance; a silent service is probed again.
#include "tests/support/scanenv.h"
#include "tests/unit/control/programfixture.h"

#include "platform/qzhttp.h"

#include <QElapsedTimer>

namespace
{

struct ProbeCase {
    int delayMs;  // the service holds every reply this long
    qint64 minMs; // the probe blocks at least
    qint64 maxMs; // and less than
    bool found;   // the service counts as connected
};

class Probe : public ProgramTest, public ::testing::WithParamInterface<ProbeCase>
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(service.start(100)) << "port 1080 taken";
        qzSetHTTPTransport(nullptr);
        startProgram(2);
        // Creating the database switched AutoStart off; the user started the instance since.
        program->instances[0]->SaveAutoStart(0, true);
        // The resume below is the probe's doing, not the database loading's.
        ASSERT_EQ(program->instances[0]->state, CQZClipwatch::cwsNotRunning);
    }
    void delayReplies(int ms) { ASSERT_TRUE(service.get("/control?delay=" + std::to_string(ms))); }
    scanenv::Service service;
};

} // namespace

TEST_P(Probe, ResumesTheAutoStartInstanceAndRetriesASilentService)
{
    const ProbeCase c = GetParam();
    delayReplies(c.delayMs);
    QElapsedTimer clock;
    clock.start();
    program->CheckVexoBase();
    const qint64 blocked = clock.elapsed();
    EXPECT_GE(blocked, c.minMs);
    EXPECT_LT(blocked, c.maxMs);
    EXPECT_EQ(program->serviceStatus, c.found ? "Connected 127.0.0.1" : "No VexoBase 127.0.0.1");
    EXPECT_EQ(program->probeTimer.isActive(), !c.found);
    EXPECT_TRUE(c.found || program->probeTimer.interval() == 10000);
    EXPECT_NE(program->instances[0]->state, CQZClipwatch::cwsNotRunning);
    EXPECT_EQ(program->instances[1]->state, CQZClipwatch::cwsNotRunning);

    // A probe that finds the service ends the loop, and holds a paused instance until started.
    delayReplies(0);
    program->probeTimer.stop();
    program->instances[0]->SetState(CQZClipwatch::cwsProcessingPaused);
    program->CheckVexoBase();
    EXPECT_EQ(program->serviceStatus, "Connected 127.0.0.1");
    EXPECT_FALSE(program->probeTimer.isActive());
    EXPECT_EQ(program->instances[0]->state, CQZClipwatch::cwsProcessingPaused);
}

// At once; only the second, longer try (the first gives up after 500 ms); not in time.
INSTANTIATE_TEST_SUITE_P(Delays, Probe,
                         ::testing::Values(ProbeCase{0, 0, 500, true},
                                           ProbeCase{1200, 500, 3000, true},
                                           ProbeCase{4000, 3000, 10000, false}));
