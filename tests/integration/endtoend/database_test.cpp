// The MariaDB server restarted in the clip search and with jobs in flight: the instance must
// reconnect and finish with every clip recorded once and complete.
#include "tests/integration/endtoend/e2efixture.h"

#include <QThread>

namespace
{

// Runs `scripts/mariadb.sh <command>`; true when it succeeded.
bool mariadb(const QString& command)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start("bash", {QString(CLIPWATCH_SOURCE_DIR) + "/scripts/mariadb.sh", command});
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

// Where the restart lands: after `progress` lines `progressLine`.
struct Phase {
    const char* name;
    const char* progressLine;
    int progress;
};

const Phase phases[] = {
    {"Search", "\nCreateClipList=<", 60},
    {"Jobs", "\nCWS: ncwsProcessingClips(", 60},
};

class DatabaseFault : public e2e::BackendTest<int>
{
protected:
    Backend backend() const override { return Backend::MySQL; }
    int serviceJobMs() const override { return 400; }

    void TearDown() override
    {
        if (folder.isEmpty())
            return; // skipped
        EXPECT_TRUE(mariadb("start")) << "the server did not come back";
        BackendTest::TearDown();
    }

    const Phase& phase() const { return phases[GetParam()]; }
};

std::string phaseName(const ::testing::TestParamInfo<int>& info)
{
    return phases[info.param].name;
}

} // namespace

TEST_P(DatabaseFault, ServerRestartedDuringTheScanLosesNoRecord)
{
    const QStringList clips = e2e::makeTree(media, 300, 1);
    e2e::configure(Backend::MySQL, folder, media,
                   {{"MakeMD5", 1}, {"MakeProxy", 0}, {"MaxTranslations", 30}});

    const QString log = QString("database-") + phase().name;
    e2e::Driver driver;
    ASSERT_TRUE(driver.start(log));
    ASSERT_TRUE(e2e::waitFor(
        [&] { return e2e::logCount(log, phase().progressLine) >= phase().progress; }, 60000))
        << "never reached the phase";
    ASSERT_TRUE(mariadb("stop"));
    QThread::sleep(2);
    ASSERT_TRUE(mariadb("start"));

    ASSERT_TRUE(driver.waitIdle(300000)) << "the instance did not finish after the restart";
    e2e::ClipDb db(Backend::MySQL, folder);
    e2e::expectAllComplete(db, clips);
}

INSTANTIATE_TEST_SUITE_P(Phases, DatabaseFault, ::testing::Range(0, 2), phaseName);
