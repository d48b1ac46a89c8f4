// The dashboard's JSON API and /metrics over real HTTP against a running program, checked
// against the command protocol's answers; the token and Origin rules on the actions.
#include "tests/integration/web/runningprogram.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <map>

namespace
{

const char* const kFigures[] = {"totalDirectories", "directoryErrors",  "directoriesComplete",
                                "totalFilesFound",  "totalClips",       "clipsCompleted",
                                "erroredClips",     "processesWaiting", "processes",
                                "processesMD5"};

class DashboardApi : public dashboardtest::DashboardTest
{
protected:
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
};

// Prometheus text: "# HELP"/"# TYPE" lines and samples `name{label="value",...} number`; every
// sample keyed "name/instance". A line that fits neither form fails the test.
std::map<std::string, double> parseMetrics(const std::string& text)
{
    static const QRegularExpression sample(
        R"re(^([a-zA-Z_:][a-zA-Z0-9_:]*)\{instance="(\d+)"\} (-?[0-9.eE+]+)$)re");
    static const QRegularExpression comment(R"(^# (HELP|TYPE) [a-zA-Z_:][a-zA-Z0-9_:]* .+$)");
    std::map<std::string, double> samples;
    for (const QString& line : QString::fromStdString(text).split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = sample.match(line);
        if (m.hasMatch())
            samples[(m.captured(1) + "/" + m.captured(2)).toStdString()] = m.captured(3).toDouble();
        else
            EXPECT_TRUE(comment.match(line).hasMatch())
                << "not Prometheus text: " << line.toStdString();
    }
    return samples;
}

TEST_F(DashboardApi, InstancesAndMetricsEqualTheProtocolsScanStatus)
{
    const QJsonArray instances = getJson("/api/instances").array();
    ASSERT_EQ(instances.size(), 2);
    const httplib::Result metrics = program->client().Get("/metrics");
    ASSERT_TRUE(metrics && metrics->status == 200);
    const std::map<std::string, double> samples = parseMetrics(metrics->body);
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
        EXPECT_EQ(samples.at("clipwatch_jobs_in_flight" + label),
                  status.value("processes").toInt() + status.value("processesMD5").toInt());
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
    EXPECT_EQ(instances[0].toObject()["counts"].toObject()["erroredClips"].toInt(), 2);
}

TEST_F(DashboardApi, FailedClipsAreListedWithTheirReasonByInstanceAndElement)
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
}

TEST_F(DashboardApi, ActionsNeedTheTokenAndComeFromTheDashboardsOwnOrigin)
{
    const std::string pause = "/api/instances/1/pause";
    const std::string bearer = "Bearer " + program->token;
    const std::string ownOrigin = "http://127.0.0.1:" + std::to_string(program->port);
    const QString before = program->state(1);
    ASSERT_NE(before, "paused");
    const std::pair<httplib::Headers, int> refused[] = {
        {{}, 401},
        {{{"Authorization", "Bearer " + std::string(32, '0')}}, 401},
        {{{"Authorization", bearer}, {"Origin", "http://evil.example"}}, 403},
    };
    for (const auto& [headers, status] : refused) {
        EXPECT_EQ(post(pause, headers), status);
        EXPECT_EQ(program->state(1), before);
    }
    EXPECT_EQ(post(pause, {{"Authorization", bearer}, {"Origin", ownOrigin}}), 200);
    EXPECT_EQ(program->state(1), "paused");
}

TEST_F(DashboardApi, RetryRunsTheProtocolsRetryOnAFailedElementOnly)
{
    const QJsonArray found = getJson("/api/clip?q=bad-vexofault").array();
    ASSERT_EQ(found.size(), 1);
    const std::string clip = "/api/instances/0/clips/" + std::to_string(found[0]["id"].toInt());
    const httplib::Headers token = {{"Authorization", "Bearer " + program->token}};
    const httplib::Result retried =
        program->client().Post((clip + "/retry?element=picon").c_str(), token, "", "text/plain");
    ASSERT_TRUE(retried);
    EXPECT_EQ(retried->status, 200);
    EXPECT_EQ(
        QJsonDocument::fromJson(QByteArray::fromStdString(retried->body))["request"].toString(),
        "scandir=0&retryprocess=picon&clippath=" + program->folder +
            "/media0/bad-vexofault-fail.mov");
    const QJsonArray good = getJson("/api/clip?q=a.mov").array();
    ASSERT_EQ(good.size(), 1);
    EXPECT_EQ(post("/api/instances/0/clips/" + std::to_string(good[0]["id"].toInt()) +
                       "/retry?element=picon",
                   token),
              409);
}

} // namespace
