// Media files, instance settings and the simulated service of a test scan (see scanenv.h).
#include "tests/support/scanenv.h"

#include "platform/vexorequests.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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
    QProcessEnvironment env = process.processEnvironment();
    if (env.isEmpty())
        env = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(display);
    process.setProcessEnvironment(env);
    process.start(testenv::buildDir() + "/clipwatch", arguments);
}

Service::~Service()
{
    if (!stop(10000))
        kill();
}

bool Service::start(int jobMs, bool listJobs)
{
    QStringList options;
    if (listJobs)
        options << "--log-jobs";
    if (jobMs > 0)
        options += {"--simulate", "--jobs", "200", "--job-ms", QString::number(jobMs)};
    return startWith(options);
}

bool Service::startWith(const QStringList& options)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(testenv::buildDir() + "/vexobase",
                  QStringList{"--port", QString::number(port_), "--bind", "127.0.0.1"} + options);
    if (!waitForOutput(process, "\n", 10000))
        return false;
    const QRegularExpressionMatch listening =
        QRegularExpression("listening on 127\\.0\\.0\\.1:(\\d+)").match(process.peek(1 << 16));
    port_ = listening.hasMatch() ? listening.captured(1).toInt() : 0;
    return port_ > 0;
}

bool Service::stop(int ms)
{
    if (process.state() == QProcess::NotRunning)
        return false;
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    return process.waitForFinished(ms) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

std::optional<std::string> Service::get(const std::string& pathAndQuery, int timeoutMs) const
{
    return vexoSendRequest("http://127.0.0.1:" + std::to_string(port_) + pathAndQuery,
                           static_cast<uint32_t>(timeoutMs));
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
