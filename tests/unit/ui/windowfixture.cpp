// The main window test fixture.
#include "tests/unit/ui/windowfixture.h"

#include "app/startup.h"
#include "platform/qzhttp.h"
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QSettings>
#include <QTest>

void WindowTest::SetUp()
{
    QSettings("Velmora", "Clipwatch").clear();
    ErrLogSetFileName("uitest");
    qzSetHTTPTransport([](const qzHTTPRequest&) { return std::optional<std::string>(); });
    folder = testenv::makeDir("window");
}

void WindowTest::TearDown()
{
    window.reset();
    qzSetHTTPTransport(nullptr);
}

void WindowTest::setKeys(int number, const std::map<QString, QVariant>& values)
{
    QSettings store("Velmora", "Clipwatch");
    store.beginGroup(QString("Instance%1").arg(number));
    for (const auto& [key, value] : values)
        store.setValue(key, value);
}

QString WindowTest::databasePath(int number) const
{
    return folder + QString("/clips%1.db").arg(number);
}

void WindowTest::setDatabase(int number)
{
    const QString media = folder + QString("/media%1").arg(number);
    QDir().mkpath(media);
    setKeys(number, {{"DataBase", databasePath(number)}, {"DBType", 1}, {"Dir", media}});
}

void WindowTest::startWindow()
{
    window = std::make_unique<MainWindow>();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return window->windowTitle() == clipwatchWindowTitle(); }, 5000));
    window->checkIPTimer.stop();
}

int WindowTest::logCount(const QString& text)
{
    return testenv::readLog("uitest").count(text);
}
