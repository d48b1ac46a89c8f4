// The dashboard of a running program over real HTTP: its page in a real headless Chromium shows
// the protocol's counts, failures with their reason, a file name that is markup as text, and
// pauses an instance once given the token; its JSON API and /metrics equal the command
// protocol's answers; the token and Origin rules on the actions.
#include "tests/integration/web/runningprogram.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <map>
#include <memory>

namespace
{

const char* const kFigures[] = {"totalDirectories", "directoryErrors",  "directoriesComplete",
                                "totalFilesFound",  "totalClips",       "clipsCompleted",
                                "erroredClips",     "processesWaiting", "processes",
                                "processesMD5"};

// One running program shared by the suite's tests, which are skipped when it did not start.
class Dashboard : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        program = std::make_unique<dashboardtest::RunningProgram>();
        if (const std::string why = program->start(); !why.empty()) {
            ADD_FAILURE() << why;
            program.reset();
        }
    }
    static void TearDownTestSuite() { program.reset(); }
    void SetUp() override
    {
        if (!program)
            GTEST_SKIP() << "the program did not start";
    }

    static QJsonDocument getJson(const std::string& path)
    {
        const httplib::Result result = program->client().Get(path.c_str());
        EXPECT_TRUE(result && result->status == 200) << path;
        return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body))
                      : QJsonDocument();
    }

    // POSTs `path` with the given headers; the status (0 without an answer).
    static int post(const std::string& path, const httplib::Headers& headers)
    {
        const httplib::Result result =
            program->client().Post(path.c_str(), headers, "", "text/plain");
        return result ? result->status : 0;
    }

    static inline std::unique_ptr<dashboardtest::RunningProgram> program;
};

// First of the suite: a later test retries a failure.
TEST_F(Dashboard, PageShowsCountsAndFailuresAsTextAndPausesOnceTheTokenIsGiven)
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    ASSERT_FALSE(chromium.isEmpty()) << "chromium is missing (scripts/setup.sh installs it)";
    ASSERT_NE(program->state(0), "paused");
    const QString row = R"(document.querySelector('tr[data-instance="0"] )";
    // Once both instances and the failures are shown: the page, and the text of each instance's
    // cells by instance and field ("0totalClips").
    const QString shown =
        "document.querySelectorAll('tr[data-instance]').length === 2 && "
        "document.querySelectorAll('td.failed').length === 4 && "
        "{dom: document.documentElement.outerHTML, cells: Object.fromEntries([...document"
        ".querySelectorAll('tr[data-instance] [data-field]')].map(c => "
        "[c.closest('tr').dataset.instance + c.dataset.field, c.textContent]))}";
    const QString pause = row + "[data-action=pause]')";
    QProcess driver;
    driver.start("python3",
                 {QString(CLIPWATCH_WEB_TEST_DIR "/drive_page.py"), chromium,
                  QString("http://127.0.0.1:%1/").arg(program->port), shown,
                  // Without the token the page asks for it and sends nothing.
                  pause + ".click() || document.getElementById('message').textContent",
                  QString("(document.getElementById('token').value = '%1', "
                          "document.querySelector('#token-form button').click(), true)")
                      .arg(QString::fromStdString(program->token)),
                  pause + ".click() || true",
                  row + "[data-field=stateName]').textContent === 'cwsProcessingPaused'"});
    ASSERT_TRUE(driver.waitForFinished(120000)) << "the page driver did not end";
    const QStringList values = QString::fromUtf8(driver.readAllStandardOutput()).split('\n');
    ASSERT_EQ(driver.exitCode(), 0) << values.join('\n').toStdString();
    EXPECT_TRUE(values[1].contains("Enter the dashboard token")) << values[1].toStdString();

    const QJsonObject page = QJsonDocument::fromJson(values[0].toUtf8()).object();
    for (int k = 0; k < 2; ++k) {
        const QMap<QString, QString> status =
            program->ask(QString("scandir=%1&getscanstatus").arg(k));
        for (const char* figure : kFigures) {
            if (QString(figure) != "totalFilesFound") { // not on the page
                EXPECT_EQ(page["cells"][QString::number(k) + figure].toString(),
                          status.value(figure))
                    << "instance " << k << " " << figure;
            }
        }
    }
    const QString dom = page["dom"].toString();
    EXPECT_EQ(dom.count(QString("<td class=\"failed\">") + dashboardtest::kFailureReason + "</td>"),
              4);
    const QString hostile = QString(dashboardtest::kHostileName).chopped(4).toHtmlEscaped();
    EXPECT_EQ(dom.count("<td>" + hostile + "</td>"), 2) << dom.toStdString();
    EXPECT_FALSE(dom.contains("<img")) << "the name made an element";
}

TEST_F(Dashboard, InstancesAndMetricsEqualTheProtocolsScanStatus)
{
    const QJsonArray instances = getJson("/api/instances").array();
    ASSERT_EQ(instances.size(), 2);
    const httplib::Result metrics = program->client().Get("/metrics");
    ASSERT_TRUE(metrics && metrics->status == 200);
    // Prometheus text: "# HELP"/"# TYPE" lines and samples `name{instance="k"} number`, each
    // sample kept as "name/k". A line that fits neither form fails the test.
    const QRegularExpression sample(
        R"re(^([a-zA-Z_:][a-zA-Z0-9_:]*)\{instance="(\d+)"\} (-?[0-9.eE+]+)$)re");
    const QRegularExpression comment(R"(^# (HELP|TYPE) [a-zA-Z_:][a-zA-Z0-9_:]* .+$)");
    std::map<std::string, double> samples;
    for (const QString& line :
         QString::fromStdString(metrics->body).split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = sample.match(line);
        if (m.hasMatch())
            samples[(m.captured(1) + "/" + m.captured(2)).toStdString()] = m.captured(3).toDouble();
        else
            EXPECT_TRUE(comment.match(line).hasMatch())
                << "not Prometheus text: " << line.toStdString();
    }
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const QMap<QString, QString> status =
            program->ask(QString("scandir=%1&getscanstatus").arg(k));
        const QJsonObject instance = instances[k].toObject();
        EXPECT_EQ(instance["number"].toInt(), k);
        EXPECT_EQ(instance["scanFolder"].toString(),
                  QString("%1/media%2/").arg(program->folder).arg(k));
        const QJsonObject counts = instance["counts"].toObject();
        const std::string label = "/" + std::to_string(k);
        for (const char* figure : kFigures) {
            const int expected = status.value(figure, "-1").toInt();
            EXPECT_EQ(counts[figure].toInt(-1), expected) << figure;
            EXPECT_EQ(samples.at(std::string("clipwatch_") + figure + label), expected) << figure;
        }
        EXPECT_EQ(samples.at("clipwatch_service_reachable" + label), 1);
        EXPECT_EQ(samples.at("clipwatch_state" + label), instance["state"].toInt());
        const QMap<QString, QString> progress =
            program->ask(QString("scandir=%1&getprogress").arg(k));
        for (const char* figure : {"done", "total"})
            EXPECT_EQ(instance["progress"].toObject()[figure].toInt(-2),
                      progress.value(figure, "-3").toInt())
                << figure;
        EXPECT_EQ(samples.at("clipwatch_seconds_left" + label),
                  progress.value("secondsLeft", "-3").toInt());
    }
}

TEST_F(Dashboard, FailedClipsAreListedWithTheirReasonAndOnlyTheyAreRetried)
{
    // "name:element:error" of every listed failure.
    const auto failures = [](const std::string& query) {
        QStringList list;
        for (const QJsonValue f : getJson("/api/failures" + query).array())
            list << QString("%1:%2:%3:%4")
                        .arg(f["instance"].toInt())
                        .arg(f["name"].toString(), f["element"].toString(), f["error"].toString());
        list.sort();
        return list;
    };
    const QString hostile = QString(dashboardtest::kHostileName).chopped(4);
    const QString reason = dashboardtest::kFailureReason;
    const QStringList all = {
        "0:" + hostile + ":picon:" + reason, "0:" + hostile + ":proxy:" + reason,
        "0:bad-vexofault-fail:picon:" + reason, "0:bad-vexofault-fail:proxy:" + reason};
    EXPECT_EQ(failures(""), all);
    EXPECT_EQ(failures("?instance=0&element=proxy"), QStringList({all[1], all[3]}));
    EXPECT_EQ(failures("?instance=1"), QStringList());
    const QJsonArray found = getJson("/api/clip?q=bad-vexofault").array();
    ASSERT_EQ(found.size(), 1);
    QStringList elements;
    for (const QJsonValue e : found[0]["elements"].toArray())
        elements << QString("%1:%2:%3")
                        .arg(e["element"].toString())
                        .arg(e["state"].toInt())
                        .arg(e["failed"].toBool());
    EXPECT_EQ(elements, QStringList({"picon:4:1", "proxy:4:1"}));

    const std::string clips = "/api/instances/0/clips/";
    const httplib::Headers token = {{"Authorization", "Bearer " + program->token}};
    const httplib::Result retried = program->client().Post(
        (clips + std::to_string(found[0]["id"].toInt()) + "/retry?element=picon").c_str(), token,
        "", "text/plain");
    ASSERT_TRUE(retried && retried->status == 200);
    EXPECT_EQ(
        QJsonDocument::fromJson(QByteArray::fromStdString(retried->body))["request"].toString(),
        "scandir=0&retryprocess=picon&clippath=" + program->folder +
            "/media0/bad-vexofault-fail.mov");
    const QJsonArray good = getJson("/api/clip?q=a.mov").array();
    ASSERT_EQ(good.size(), 1);
    EXPECT_EQ(post(clips + std::to_string(good[0]["id"].toInt()) + "/retry?element=picon", token),
              409);
}

TEST_F(Dashboard, ActionsNeedTheTokenAndComeFromTheDashboardsOwnOrigin)
{
    // The page's own Pause, from its origin with the token, is the first test's.
    const std::string pause = "/api/instances/1/pause";
    const QString before = program->state(1);
    ASSERT_NE(before, "paused");
    EXPECT_EQ(post(pause, {{"Authorization", "Bearer " + std::string(32, '0')}}), 401);
    EXPECT_EQ(post(pause, {{"Authorization", "Bearer " + program->token},
                           {"Origin", "http://evil.example"}}),
              403);
    EXPECT_EQ(program->state(1), before) << "a refused action was done";
}

} // namespace
