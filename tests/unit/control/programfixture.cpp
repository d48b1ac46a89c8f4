// The program core test fixture.
#include "tests/unit/control/programfixture.h"

#include "app/startup.h"
#include "platform/qzhttp.h"
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QSettings>
#include <QTest>

void ProgramTest::SetUp()
{
    QSettings("Velmora", "Clipwatch").clear();
    ErrLogSetFileName("programtest");
    qzSetHTTPTransport([](const qzHTTPRequest&) { return std::optional<std::string>(); });
    folder = testenv::makeDir("program");
}

void ProgramTest::TearDown()
{
    window.reset();
    program.reset();
    qzSetHTTPTransport(nullptr);
}

void ProgramTest::setKeys(int number, const std::map<QString, QVariant>& values)
{
    QSettings store("Velmora", "Clipwatch");
    store.beginGroup(QString("Instance%1").arg(number));
    for (const auto& [key, value] : values)
        store.setValue(key, value);
}

QString ProgramTest::databasePath(int number) const
{
    return folder + QString("/clips%1.db").arg(number);
}

void ProgramTest::setDatabase(int number)
{
    const QString media = folder + QString("/media%1").arg(number);
    QDir().mkpath(media);
    setKeys(number, {{"DataBase", databasePath(number)}, {"DBType", 1}, {"Dir", media}});
}

void ProgramTest::startProgram(int databases)
{
    for (int k = 0; k < databases; ++k)
        setDatabase(k);
    program = std::make_unique<Program>();
    program->Start();
    program->checkIPTimer.stop();
}

void ProgramTest::startWindow(int databases)
{
    for (int k = 0; k < databases; ++k)
        setDatabase(k);
    program = std::make_unique<Program>();
    window = std::make_unique<MainWindow>(*program);
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return window->windowTitle() == clipwatchWindowTitle(); }, 5000));
    program->checkIPTimer.stop();
}

std::string ProgramTest::run(const char* request)
{
    std::optional<std::string> reply;
    result = program->RunCommand(request, reply);
    return reply ? *reply : "<none>";
}

CWSSettings ProgramTest::settings(int k) const
{
    return program->instances[k]->Settings();
}

int ProgramTest::logCount(const QString& text)
{
    return testenv::readLog("programtest").count(text);
}
