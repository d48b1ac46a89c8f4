// Fixture of the scanner and monitor unit tests (see instancetest.h).
#include "tests/support/instancetest.h"

#include "tests/support/testenv.h"

#include <QSettings>

void InstanceTest::SetUp()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch").clear();
    CQZClipwatch::instanceCount = 1;
    folder = testenv::makeDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    qzSetHTTPTransport([this](const qzHTTPRequest& request) -> std::optional<std::string> {
        std::lock_guard<std::mutex> lock(mutex);
        if (request.url.find("request=address") != std::string::npos)
            return silent ? std::nullopt
                          : std::optional<std::string>(
                                "{\"result\":\"0\",\"address\":\"127.0.0.1\",\"channel\":\"0\"}");
        urls.push_back(request.url);
        return handler ? handler(request.url) : std::nullopt;
    });
}

void InstanceTest::TearDown()
{
    db.reset();
    instance.reset();
    qzSetHTTPTransport({});
}

void InstanceTest::makeInstance(const std::map<QString, QVariant>& keys)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.setValue("Instance0/DataBase", folder + "/clips.db");
    store.setValue("Instance0/DBType", 1);
    store.setValue("Instance0/Dir", folder + "/media/");
    store.setValue("Instance0/SettleSeconds", 0);
    for (const auto& [key, value] : keys)
        store.setValue("Instance0/" + key, value);
    store.sync();
    ASSERT_TRUE(openInstance(instance, db));
}

std::string InstanceTest::addClip(const std::string& anchor)
{
    dbCWSAddClip(db.get(), "clip", anchor, "/media/");
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr, 0, nullptr);
    return anchor;
}

bool openInstance(std::unique_ptr<CQZClipwatch>& instance, std::shared_ptr<dbCwsHandle>& db)
{
    instance = std::make_unique<CQZClipwatch>(0, "127.0.0.1");
    instance->LoadDatabase();
    db = instance->Database();
    return db != nullptr;
}

int elementState(dbCwsHandle* db, const std::string& anchor, unsigned code, std::string* path,
                 std::string* error)
{
    dbCWGetClipInfo(db, anchor, nullptr, nullptr, code, 0, path, nullptr, error);
    dbCwsElementStatus status;
    return dbCWSGetElementStatus(db, anchor, status) == 0 ? status.state(code) : -1;
}

std::string InstanceTest::md5Text(const std::string& anchor)
{
    dbCwsElementStatus status;
    dbCWSGetElementStatus(db.get(), anchor, status);
    return status.md5;
}

void InstanceTest::serve(Handler answerWith)
{
    std::lock_guard<std::mutex> lock(mutex);
    handler = std::move(answerWith);
    silent = false;
}

void InstanceTest::answer(std::optional<std::string> reply)
{
    serve([reply](const std::string&) { return reply; });
    std::lock_guard<std::mutex> lock(mutex);
    silent = !reply;
}

std::vector<std::string> InstanceTest::sent()
{
    std::lock_guard<std::mutex> lock(mutex);
    return urls;
}
