// Media files, instance settings and the simulated service of a test scan (see scanenv.h).
#include "tests/support/scanenv.h"

#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <signal.h>

namespace scanenv
{

bool touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("media") == 5;
}

void configure(Backend backend, const QString& folder, const QString& media,
               std::initializer_list<std::pair<const char*, QVariant>> extra)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Clipwatch");
    store.clear();
    store.setValue("DashboardPort", 0);
    store.beginGroup("Instance0");
    store.setValue("Dir", media);
    store.setValue("Separator", "/");
    store.setValue("MakePicons", 1);
    store.setValue("MakeProxy", 1);
    store.setValue("MaxTranslations", 40);
    store.setValue("ErrorCopyDirectory", "");
    store.setValue("SettleSeconds", 0); // files the tests write are complete
    if (backend == Backend::MySQL) {
        store.setValue("DBType", 2);
        store.setValue("DataBase", testdb::mysqlName());
        store.setValue("DBUsername", testdb::user());
        store.setValue("DBPassword", testdb::password());
        store.setValue("DBHost", testdb::host());
    } else {
        store.setValue("DBType", 1);
        store.setValue("DataBase", folder + "/clips.db");
    }
    for (const auto& [key, value] : extra)
        store.setValue(key, value);
}

bool waitForOutput(QProcess& process, const QByteArray& word, int ms)
{
    return testenv::waitFor(
        [&] {
            return process.state() != QProcess::NotRunning && process.peek(1 << 16).contains(word);
        },
        ms);
}

void killHard(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

void startHeadless(QProcess& process, const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(display);
    process.setProcessEnvironment(env);
    process.start(testenv::buildDir() + "/clipwatch", arguments);
}

Service::~Service()
{
    process.terminate();
    process.waitForFinished(5000);
}

bool Service::start(int jobMs, bool listJobs)
{
    QStringList options{"--port", QString::number(port), "--bind", "127.0.0.1"};
    if (listJobs)
        options << "--log-jobs";
    if (jobMs > 0)
        options << "--simulate"
                << "--jobs"
                << "200"
                << "--job-ms" << QString::number(jobMs);
    process.start(testenv::buildDir() + "/vexobase", options);
    return waitForOutput(process, "listening", 10000);
}

QStringList Service::jobs()
{
    while (process.waitForReadyRead(50)) {
    }
    while (process.canReadLine()) {
        const QString line = QString::fromUtf8(process.readLine()).trimmed();
        if (line.startsWith("job "))
            taken << line.mid(4);
    }
    return taken;
}

} // namespace scanenv
