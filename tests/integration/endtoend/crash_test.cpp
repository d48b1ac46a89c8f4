// Crash survival: the process running an instance is killed with SIGKILL during the directory
// walk, during the clip search and with jobs in flight, then started again with the control word
// "start" on the same settings and database; every clip must end complete exactly once with
// nothing left in progress. On SQLite and on MariaDB, against the simulated service on 127.0.0.1.
#include "tests/integration/endtoend/e2efixture.h"

#include <QRegularExpression>

namespace
{

// Where the kill lands: the state the log must show last, and the log lines that must have
// been written (the count of `progressLine`) before the kill.
struct Phase {
    const char* name;
    const char* state;        // the StateChange target that must be the last one
    const char* progressLine; // logged once per directory or clip of the phase
    int progress;             // how many of them before the kill
};

const Phase phases[] = {
    {"Walk", "cwsFindDirectories", "\nrDir=<", 40},
    {"Search", "cwsFindClips", "\nCreateClipList=<", 40},
    {"Jobs", "cwsProcessingClips", "\nCWS: ncwsProcessingClips(", 40},
};

// The state of the last StateChange line of a log.
QString lastState(const QString& log)
{
    const QRegularExpression change("StateChange: from<\\w+> to<(\\w+)>");
    QString state;
    for (auto it = change.globalMatch(log); it.hasNext();)
        state = it.next().captured(1);
    return state;
}

class Crash : public e2e::BackendTest<std::tuple<Backend, int>>
{
protected:
    Backend backend() const override { return std::get<0>(GetParam()); }
    int serviceJobMs() const override { return 400; }
    const Phase& phase() const { return phases[std::get<1>(GetParam())]; }
};

std::string crashName(const ::testing::TestParamInfo<std::tuple<Backend, int>>& info)
{
    return backendName({std::get<0>(info.param), 0}) + phases[std::get<1>(info.param)].name;
}

} // namespace

TEST_P(Crash, KilledAndStartedAgainCompletesEveryClipOnce)
{
    const QStringList clips = e2e::makeTree(media, 200, 1);
    e2e::configure(backend(), folder, media,
                   {{"MakeMD5", 1}, {"MakeProxy", 0}, {"MaxTranslations", 60}});

    const QString run = QString::fromStdString(crashName({GetParam(), 0}));
    const QString first = "crash-" + run + "-first";
    e2e::Driver driver;
    ASSERT_TRUE(driver.start(first));
    ASSERT_TRUE(e2e::waitFor(
        [&] { return e2e::logCount(first, phase().progressLine) >= phase().progress; }, 60000))
        << "never reached " << phase().state;
    driver.kill();
    ASSERT_EQ(lastState(testenv::readLog(first)).toStdString(), phase().state)
        << "the kill did not land in the wanted phase";

    // Started again as the controller starts it: a resume where the first run left off.
    const QString second = "crash-" + run + "-second";
    e2e::Driver again;
    ASSERT_TRUE(again.start(second, {"--request", "scandir=0&start"}));
    EXPECT_TRUE(again.waitIdle(200000)) << "the restarted instance did not finish";

    e2e::ClipDb db(backend(), folder);
    e2e::expectAllComplete(db, clips);
}

INSTANTIATE_TEST_SUITE_P(Phases, Crash,
                         ::testing::Combine(::testing::Values(Backend::SQLite, Backend::MySQL),
                                            ::testing::Range(0, 3)),
                         crashName);
