// Fixture of the scanner unit tests.
#include "tests/unit/scanner/instancefixture.h"

#include "tests/support/testenv.h"

#include <QSettings>

void InstanceTest::SetUp()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch").clear();
    CQZClipwatch::instanceCount = 1;
    folder = testenv::makeDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    answer(std::nullopt);
    qzSetHTTPTransport([this](const qzHTTPRequest& request) {
        std::lock_guard<std::mutex> lock(mutex);
        if (request.url.find("request=address") == std::string::npos)
            sent.push_back(request.url);
        return reply;
    });
}

void InstanceTest::TearDown()
{
    db.reset();
    instance.reset();
    qzSetHTTPTransport({});
}

void InstanceTest::setKeys(const std::map<QString, QVariant>& values)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    for (const auto& [key, value] : values)
        store.setValue("Instance0/" + key, value);
}

void InstanceTest::makeInstance()
{
    setKeys({{"DataBase", folder + "/clips.db"}, {"DBType", 1}, {"Dir", folder + "/media"}});
    instance = std::make_unique<CQZClipwatch>(0, "127.0.0.1");
    instance->LoadDatabase();
    db = instance->Database();
    ASSERT_TRUE(db);
}

std::string InstanceTest::addClip(const std::string& anchor)
{
    dbCWSAddClip(db.get(), "clip", anchor, "/media/");
    dbCWSSetElementStatus(db.get(), -1, anchor, CWS_ELEMENT_CLIP, nullptr, nullptr, 0, nullptr);
    return anchor;
}

int InstanceTest::elementState(const std::string& anchor, unsigned code, std::string* path,
                               std::string* error)
{
    dbCWGetClipInfo(db.get(), anchor, nullptr, nullptr, code, 0, path, nullptr, error);
    dbCwsElementStatus status;
    if (dbCWSGetElementStatus(db.get(), anchor, status) != 0)
        return -1;
    return status.state(code);
}

std::string InstanceTest::md5Text(const std::string& anchor)
{
    dbCwsElementStatus status;
    dbCWSGetElementStatus(db.get(), anchor, status);
    return status.md5;
}

int InstanceTest::clipState(const std::string& anchor)
{
    dbCwsElementStatus status;
    dbCWSGetElementStatus(db.get(), anchor, status);
    return status.state(CWS_ELEMENT_CLIP);
}

void InstanceTest::answer(std::optional<std::string> text)
{
    std::lock_guard<std::mutex> lock(mutex);
    reply = std::move(text);
}

std::vector<std::string> InstanceTest::sentJobs()
{
    std::lock_guard<std::mutex> lock(mutex);
    return sent;
}
