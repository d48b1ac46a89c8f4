// The dashboard's page in a real headless Chromium, loaded from a running program: the counts it
// shows equal the protocol's, failures show their reason, a file name that is markup stays text
// and runs nothing, and Pause works through the page once the token has been given.
#include "tests/integration/web/runningprogram.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

namespace
{

const char* const kShownFigures[] = {"totalDirectories", "directoryErrors", "directoriesComplete",
                                     "totalClips",       "clipsCompleted",  "erroredClips",
                                     "processesWaiting", "processes",       "processesMD5"};

class DashboardPage : public dashboardtest::DashboardTest
{
protected:
    void SetUp() override
    {
        chromium = QStandardPaths::findExecutable("chromium");
        ASSERT_FALSE(chromium.isEmpty()) << "chromium is missing (scripts/setup.sh installs it)";
        DashboardTest::SetUp();
    }

    // The page's DOM after its scripts have run.
    QString dumpDom()
    {
        QProcess browser;
        browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                 "--dump-dom", "--virtual-time-budget=5000",
                                 QString::fromStdString(program->url())});
        EXPECT_TRUE(browser.waitForFinished(60000)) << "chromium did not end";
        return QString::fromUtf8(browser.readAllStandardOutput());
    }

    // Runs drive_page.py with `steps`; its exit code and the steps' values.
    int drive(const QStringList& steps, QString& values)
    {
        QProcess driver;
        driver.start("python3", QStringList{QString(CLIPWATCH_WEB_TEST_DIR "/drive_page.py"),
                                            chromium, QString::fromStdString(program->url())} +
                                    steps);
        EXPECT_TRUE(driver.waitForFinished(120000)) << "the page driver did not end";
        values = QString::fromUtf8(driver.readAllStandardOutput());
        return driver.exitCode();
    }

    QString chromium;
};

TEST_F(DashboardPage, ShowsTheCountsAndFailuresWithFileNamesAsText)
{
    const QString dom = dumpDom();
    for (int k = 0; k < 2; ++k) {
        const QMap<QString, QString> status =
            program->ask(QString("scandir=%1&getscanstatus").arg(k));
        for (const char* figure : kShownFigures)
            EXPECT_EQ(dashboardtest::fieldOfInstance(dom, k, figure), status.value(figure))
                << "instance " << k << " " << figure;
    }
    EXPECT_EQ(dom.count(QString("<td class=\"failed\">") + dashboardtest::kFailureReason + "</td>"),
              4);
    const QString hostile = QString(dashboardtest::kHostileName).chopped(4).toHtmlEscaped();
    EXPECT_EQ(dom.count("<td>" + hostile + "</td>"), 2) << dom.toStdString();
    // The name made no element, and its handler (which the page's policy would block as well)
    // did not rename the page.
    EXPECT_FALSE(dom.contains("<img"));
    EXPECT_TRUE(dom.contains("<title>Clipwatch</title>"));
}

TEST_F(DashboardPage, PausesAnInstanceOnlyOnceTheTokenIsGiven)
{
    const QString before = program->state(0);
    ASSERT_NE(before, "paused");
    const QString pause = R"(document.querySelector('tr[data-instance="0"] [data-action=pause]'))";
    const QString shownState =
        R"(document.querySelector('tr[data-instance="0"] [data-field=stateName]').textContent)";
    QString values;
    ASSERT_EQ(drive({pause + " !== null",
                     // Without the token the page asks for it and sends nothing.
                     pause + ".click() || document.getElementById('message').textContent",
                     QString("(document.getElementById('token').value = '%1', "
                             "document.querySelector('#token-form button').click(), true)")
                         .arg(QString::fromStdString(program->token)),
                     pause + ".click() || true", shownState + " === 'cwsProcessingPaused'"},
                    values),
              0)
        << values.toStdString();
    EXPECT_TRUE(values.contains("Enter the dashboard token")) << values.toStdString();
    EXPECT_EQ(program->state(0), "paused");
}

} // namespace
