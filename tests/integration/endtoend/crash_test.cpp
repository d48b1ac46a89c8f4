// The program killed (SIGKILL) in the walk, the clip search and with jobs in flight, then started
// again with the control word "start": every clip must end complete exactly once.
#include "tests/integration/endtoend/e2efixture.h"

#include <QRegularExpression>

namespace
{

// Where the kill lands: the last state logged, after `progress` lines `progressLine` of it.
struct Phase {
    const char* name;
    const char* state;
    const char* progressLine;
    int progress;
};

const Phase phases[] = {
    {"Walk", "cwsFindDirectories", "\nrDir=<", 40},
    {"Search", "cwsFindClips", "\nCreateClipList=<", 40},
    {"Jobs", "cwsProcessingClips", "\nCWS: ncwsProcessingClips(", 40},
};

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
    QString last;
    const QRegularExpression change("StateChange: from<\\w+> to<(\\w+)>");
    for (auto it = change.globalMatch(testenv::readLog(first)); it.hasNext();)
        last = it.next().captured(1);
    ASSERT_EQ(last.toStdString(), phase().state) << "the kill did not land in the wanted phase";

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
