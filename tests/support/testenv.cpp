// Test environment set-up shared by every test executable.
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <cstdlib>
#include <memory>

namespace testenv
{

static std::unique_ptr<QTemporaryDir> tempRoot;

void setUp()
{
    tempRoot = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/clipwatch-test-XXXXXX");
    const QByteArray base = tempRoot->path().toUtf8();
    for (const char* sub : {"home", "config", "state", "log"})
        QDir().mkpath(tempRoot->path() + "/" + sub);
    setenv("HOME", base + "/home", 1);
    setenv("XDG_CONFIG_HOME", base + "/config", 1);
    setenv("XDG_STATE_HOME", base + "/state", 1);
    setenv("CLIPWATCH_LOG_DIR", base + "/log", 1);
    if (getenv("CLIPWATCH_KEEP_TEST_DIR"))
        tempRoot->setAutoRemove(false);

    QSettings cmd("Velmora", "VexoCmd");
    cmd.setValue("commandip", "127.0.0.1");
    cmd.sync();
}

void tearDown()
{
    tempRoot.reset();
}

QString root()
{
    return tempRoot->path();
}

QString makeDir(const QString& name)
{
    const QString path = root() + "/" + name + "-" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(path);
    return path;
}

QString buildDir()
{
    const char* dir = getenv("CLIPWATCH_BUILD_DIR");
    return dir ? QString::fromUtf8(dir) : QString(CLIPWATCH_DEFAULT_BUILD_DIR);
}

bool waitFor(const std::function<bool()>& condition, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (condition())
            return true;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    return condition();
}

QString readLog(const QString& name)
{
    QFile file(root() + "/log/" + name + ".log");
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace testenv
