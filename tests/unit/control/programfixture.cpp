// The program core test fixture.
#include "tests/unit/control/programfixture.h"

#include "platform/qzhttp.h"
#include "platform/qzlog.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QSettings>

void ProgramTest::SetUp()
{
    QSettings("Velmora", "Clipwatch").clear();
    ErrLogSetFileName("programtest");
    qzSetHTTPTransport([](const qzHTTPRequest&) { return std::optional<std::string>(); });
    folder = testenv::makeDir("program");
}

void ProgramTest::TearDown()
{
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

void ProgramTest::startProgram()
{
    program = std::make_unique<Program>();
    program->Start();
    program->checkIPTimer.stop();
}

int ProgramTest::logCount(const QString& text)
{
    return testenv::readLog("programtest").count(text);
}
