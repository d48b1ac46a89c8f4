// The service half of the reachability check against the reference service on
// 127.0.0.1:1080: a service that answers at once, one that answers only the second, longer
// try, and one that does not answer in time. Every probe sends the auto-start instance on,
// unless it was paused since.
#include "tests/integration/vexobase/vexoclient.h"
#include "tests/unit/control/programfixture.h"

#include "platform/qzhttp.h"
#include "scanner/clipwatch.h"

#include <QElapsedTimer>

#include <memory>

class Probe : public ProgramTest
{
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        service = std::make_unique<vexotest::Service>(QStringList{"--port", "1080", "--simulate"});
        ASSERT_TRUE(service->started());
        ASSERT_EQ(service->port(), 1080);
        qzSetHTTPTransport(nullptr);
        setDatabase(0);
        setDatabase(1);
        startProgram();
        // Creating the database switched AutoStart off; the user started the instance since.
        program->instances[0]->SaveAutoStart(0, true);
        // The resume below is the probe's doing, not the database loading's.
        ASSERT_EQ(program->instances[0]->state, CQZClipwatch::cwsNotRunning);
    }
    void TearDown() override
    {
        ProgramTest::TearDown();
        service.reset();
    }
    // Holds every reply of the service `ms` milliseconds.
    void delayReplies(int ms) { ASSERT_TRUE(service->get("/control?delay=" + std::to_string(ms))); }
    // Runs one probe and returns how long it blocked.
    qint64 probe()
    {
        QElapsedTimer clock;
        clock.start();
        program->CheckVexoBase();
        return clock.elapsed();
    }
    // The auto-start instance was sent on; the other one was left alone.
    void expectOnlyAutoStartResumed()
    {
        EXPECT_NE(program->instances[0]->state, CQZClipwatch::cwsNotRunning);
        EXPECT_EQ(program->instances[1]->state, CQZClipwatch::cwsNotRunning);
    }
    std::unique_ptr<vexotest::Service> service;
};

TEST_F(Probe, ServiceAnsweringAtOnceIsConnected)
{
    EXPECT_LT(probe(), 500);
    EXPECT_EQ(program->serviceStatus, "Connected 127.0.0.1");
    EXPECT_FALSE(program->probeTimer.isActive());
    expectOnlyAutoStartResumed();
}

TEST_F(Probe, ServiceAnsweringOnlyTheSecondTryIsConnected)
{
    delayReplies(1200);
    // The first try gave up after its 500 ms; the second one got the answer.
    const qint64 blocked = probe();
    EXPECT_GE(blocked, 500);
    EXPECT_LT(blocked, 3000);
    EXPECT_EQ(program->serviceStatus, "Connected 127.0.0.1");
    EXPECT_FALSE(program->probeTimer.isActive());
    expectOnlyAutoStartResumed();
}

TEST_F(Probe, SilentServiceIsProbedAgainAfterTenSeconds)
{
    delayReplies(4000);
    const qint64 blocked = probe();
    EXPECT_GE(blocked, 3000);
    EXPECT_EQ(program->serviceStatus, "No VexoBase 127.0.0.1");
    ASSERT_TRUE(program->probeTimer.isActive());
    EXPECT_EQ(program->probeTimer.interval(), 10000);
    expectOnlyAutoStartResumed();

    // The next probe finds the service back and ends the loop.
    delayReplies(0);
    program->probeTimer.stop();
    probe();
    EXPECT_EQ(program->serviceStatus, "Connected 127.0.0.1");
    EXPECT_FALSE(program->probeTimer.isActive());
}

TEST_F(Probe, PauseHoldsAnAutoStartInstanceUntilStarted)
{
    program->instances[0]->SetState(CQZClipwatch::cwsProcessingPaused);
    probe();
    EXPECT_EQ(program->instances[0]->state, CQZClipwatch::cwsProcessingPaused);
}
