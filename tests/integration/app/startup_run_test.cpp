// The real program started offscreen: the media-library values switched off for the run, and a
// clean end on SIGTERM and SIGINT with the log closed and those values restored.
#include "platform/qzconfig.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

namespace
{

uint32_t readOption(const char* section, const char* key)
{
    uint32_t value = 12345;
    qzCFGValueDword(-1, section, key, &value, 0);
    return value;
}

using ProgramRun = ::testing::TestWithParam<int>;

TEST_P(ProgramRun, StartsLogsAndEndsCleanlyOnSignal)
{
    uint32_t aggressive = 3, preload = 1;
    qzCFGValueDword(-1, "Quillon\\Default", "AgressiveFileopen", &aggressive, 1);
    qzCFGValueDword(-1, "Quillon\\PlugIns\\RVT", "PreLoadRVTDlls", &preload, 1);

    const QString log = QString("run-%1").arg(GetParam());
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(testenv::buildDir() + "/clipwatch", {"-platform", "offscreen", "--log", log});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(
        testenv::waitFor([&] { return testenv::readLog(log).contains("Settings file: "); }, 20000))
        << testenv::readLog(log).toStdString();

    EXPECT_EQ(readOption("Quillon\\Default", "AgressiveFileopen"), 0u)
        << "switched off for the run";
    EXPECT_EQ(readOption("Quillon\\PlugIns\\RVT", "PreLoadRVTDlls"), 0u);

    QThread::msleep(1500); // the window shows itself after one second
    kill(static_cast<pid_t>(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(
        testenv::readLog(log).contains(QRegularExpression("\nmain exiting main.cpp \\d+$")));
    EXPECT_EQ(readOption("Quillon\\Default", "AgressiveFileopen"), 3u);
    EXPECT_EQ(readOption("Quillon\\PlugIns\\RVT", "PreLoadRVTDlls"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramRun, ::testing::Values(SIGTERM, SIGINT));

} // namespace
