// Test environment set-up shared by every test executable.
#include "tests/support/testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <QUuid>

#include <cstdlib>

namespace testenv
{

static QString rootPath;

std::unique_ptr<QTemporaryDir> setUp()
{
    auto root = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/clipwatch-test-XXXXXX");
    rootPath = root->path();
    const QByteArray base = rootPath.toUtf8();
    for (const char* sub : {"home", "config", "state", "log"})
        QDir().mkpath(rootPath + "/" + sub);
    setenv("HOME", base + "/home", 1);
    setenv("XDG_CONFIG_HOME", base + "/config", 1);
    setenv("XDG_STATE_HOME", base + "/state", 1);
    setenv("CLIPWATCH_LOG_DIR", base + "/log", 1);
    if (getenv("CLIPWATCH_KEEP_TEST_DIR"))
        root->setAutoRemove(false);
    QSettings("Velmora", "VexoCmd").setValue("commandip", "127.0.0.1");
    return root;
}

QString makeDir(const QString& name)
{
    const QString path = rootPath + "/" + name + "-" + QUuid::createUuid().toString(QUuid::Id128);
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
    QFile file(rootPath + "/log/" + name + ".log");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace testenv
