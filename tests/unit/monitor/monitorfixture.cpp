// Fixture of the monitor unit tests.
#include "tests/unit/monitor/monitorfixture.h"

#include "tests/support/testenv.h"

#include <QSettings>

void MonitorTest::SetUp()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch").clear();
    CQZClipwatch::instanceCount = 1;
    folder = testenv::makeDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    qzSetHTTPTransport([this](const qzHTTPRequest& request) -> std::optional<std::string> {
        if (request.url.find("request=address") != std::string::npos)
            return std::string("{\"result\":\"0\",\"address\":\"127.0.0.1\",\"channel\":\"0\"}");
        std::lock_guard<std::mutex> lock(mutex);
        urls.push_back(request.url);
        return handler ? handler(request.url) : std::nullopt;
    });
}

void MonitorTest::TearDown()
{
    db.reset();
    instance.reset();
    qzSetHTTPTransport({});
}

void MonitorTest::makeInstance(const std::map<QString, QVariant>& keys)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.setValue("Instance0/DataBase", folder + "/clips.db");
    store.setValue("Instance0/DBType", 1);
    store.setValue("Instance0/Dir", folder + "/media/");
    for (const auto& [key, value] : keys)
        store.setValue("Instance0/" + key, value);
    store.sync();
    instance = std::make_unique<CQZClipwatch>(0, "127.0.0.1");
    instance->LoadDatabase();
    db = instance->Database();
    ASSERT_TRUE(db);
    monitor.owner = instance.get();
}

void MonitorTest::addClip(const std::string& anchor)
{
    dbCWSAddClip(db.get(), "clip", anchor, "/media/");
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr, 0, nullptr);
}

int MonitorTest::elementState(const std::string& anchor, unsigned code, std::string* path,
                              std::string* error)
{
    dbCWGetClipInfo(db.get(), anchor, nullptr, nullptr, code, 0, path, nullptr, error);
    dbCwsElementStatus status;
    if (dbCWSGetElementStatus(db.get(), anchor, status) != 0)
        return -1;
    return status.state(code);
}

std::string MonitorTest::md5Text(const std::string& anchor)
{
    dbCwsElementStatus status;
    dbCWSGetElementStatus(db.get(), anchor, status);
    return status.md5;
}

int MonitorTest::clipState(const std::string& anchor)
{
    return elementState(anchor, CWS_ELEMENT_CLIP);
}

void MonitorTest::serve(Handler answer)
{
    std::lock_guard<std::mutex> lock(mutex);
    handler = std::move(answer);
}

std::vector<std::string> MonitorTest::sent()
{
    std::lock_guard<std::mutex> lock(mutex);
    return urls;
}

std::string statusReply(const std::string& source, const std::string& target,
                        const std::string& profile, int progress, int result,
                        const std::string& resultString)
{
    return "{\"progress\":\"" + std::to_string(progress) + "\",\"result\":\"" +
           std::to_string(result) + "\",\"resultstring\":\"" + resultString + "\",\"source\":\"" +
           source + "\",\"target\":\"" + target + "\",\"profile\":\"" + profile +
           "\",\"client\":\"127.0.0.1\",\"address\":\"127.0.0.1\"}";
}
