// The program killed in the walk, the search or with jobs in flight and started again, or the
// MariaDB server restarted under it: every clip ends complete exactly once.
#include "tests/integration/endtoend/e2efixture.h"

#include <QRegularExpression>
#include <QThread>

namespace
{

bool mariadb(const QString& command)
{
    return QProcess::execute("bash",
                             {QString(CLIPWATCH_SOURCE_DIR) + "/scripts/mariadb.sh", command}) == 0;
}

// Where the fault lands: the last state logged, after 60 lines `progressLine` of it.
struct Phase {
    const char* name;
    const char* state;
    const char* progressLine;
};

const Phase phases[] = {
    {"Walk", "cwsFindDirectories", "\nrDir=<"},
    {"Search", "cwsFindClips", "\nCreateClipList=<"},
    {"Jobs", "cwsProcessingClips", "\nCWS: ncwsProcessingClips("},
};

// The parameter: the server restarted (else the program killed), the database, the phase.
using FaultParam = std::tuple<bool, Backend, int>;

class Fault : public e2e::BackendTest<FaultParam>
{
protected:
    bool serverRestart() const { return std::get<0>(GetParam()); }
    Backend backend() const override { return std::get<1>(GetParam()); }
    int serviceJobMs() const override { return 400; }
    const Phase& phase() const { return phases[std::get<2>(GetParam())]; }

    void TearDown() override
    {
        if (serverRestart() && !folder.isEmpty()) {
            EXPECT_TRUE(mariadb("start")) << "the server did not come back";
        }
        BackendTest::TearDown();
    }
};

std::string faultName(const ::testing::TestParamInfo<FaultParam>& info)
{
    const auto& [serverRestart, backend, phase] = info.param;
    return (serverRestart ? "ServerRestarted" : "Killed") + backendName({backend, 0}) +
           phases[phase].name;
}

} // namespace

TEST_P(Fault, EveryClipCompletesOnceAfterIt)
{
    const QStringList clips = e2e::makeTree(media, 300, 1);
    e2e::configure(
        backend(), folder, media,
        {{"MakeMD5", 1}, {"MakeProxy", 0}, {"MaxTranslations", serverRestart() ? 30 : 60}});

    const QString run = QString::fromStdString(faultName({GetParam(), 0}));
    e2e::Driver driver;
    ASSERT_TRUE(driver.start(run));
    ASSERT_TRUE(e2e::waitForLog(run, phase().progressLine, 60))
        << "never reached " << phase().state;
    if (!serverRestart())
        driver.kill();
    QString last;
    const QRegularExpression change("StateChange: from<\\w+> to<(\\w+)>");
    for (auto it = change.globalMatch(testenv::readLog(run)); it.hasNext();)
        last = it.next().captured(1);
    ASSERT_EQ(last.toStdString(), phase().state) << "the fault did not land in the wanted phase";

    if (serverRestart()) {
        ASSERT_TRUE(mariadb("stop"));
        QThread::sleep(2);
        ASSERT_TRUE(mariadb("start"));
        ASSERT_TRUE(driver.waitIdle(300000)) << "the instance did not finish after the restart";
    } else {
        e2e::Driver again;
        ASSERT_TRUE(again.start(run + "-again", {"--request", "scandir=0&start"}));
        EXPECT_TRUE(again.waitIdle(200000)) << "the restarted instance did not finish";
    }
    e2e::ClipDb db(backend(), folder);
    e2e::expectAllComplete(db, clips);
}

INSTANTIATE_TEST_SUITE_P(Killed, Fault,
                         ::testing::Combine(::testing::Values(false),
                                            ::testing::Values(Backend::SQLite, Backend::MySQL),
                                            ::testing::Range(0, 3)),
                         faultName);
INSTANTIATE_TEST_SUITE_P(ServerRestarted, Fault,
                         ::testing::Combine(::testing::Values(true),
                                            ::testing::Values(Backend::MySQL),
                                            ::testing::Range(1, 3)),
                         faultName);
