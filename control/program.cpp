// Program's life and its instance registry: the instances from the settings store, the second
// start step, the interpreter's host steps, and the destruction that ends the checks before the
// instances.
#include "control/program.h"

#include "control/executecommand.h"
#include "scanner/clipwatch.h"
#include "vexoutil/iputil.h"

#include <QProcess>
#include <QSettings>
#include <QTcpSocket>

#include <algorithm>

Program::Program(QObject* parent) : QObject(parent)
{
    socket = new QTcpSocket(this);
    const QString commandIP = vexoCommandIP();
    controllerAddress = commandIP == "0.0.0.0" ? localAddress(QString()) : QHostAddress(commandIP);

    connect(socket, &QTcpSocket::connected, this, &Program::connected);
    connect(socket, &QTcpSocket::disconnected, this, &Program::disconnected);
    connect(socket, &QTcpSocket::readyRead, this, &Program::onReadReady);
    connect(socket, &QTcpSocket::errorOccurred, this, &Program::error);
    checkIPTimer.setSingleShot(true);
    probeTimer.setSingleShot(true);
    connect(&checkIPTimer, &QTimer::timeout, this, &Program::CheckIP);
    connect(&probeTimer, &QTimer::timeout, this, &Program::CheckVexoBase);

    QSettings settings("Velmora", "Clipwatch");
    const QStringList groups = settings.childGroups();
    const int n = CountInstances(groups);
    const std::string serviceHost = controllerAddress.toString().toStdString();
    for (int k = 0; k < n; ++k)
        instances.append(new CQZClipwatch(k, serviceHost));
    CQZClipwatch::instanceCount = n > 0 ? n : 1;
    for (int k = 0; k < n; ++k)
        if (!groups.contains(QString("Instance%1").arg(k)))
            instances[k]->SaveSettings(k);
}

int Program::CountInstances(const QStringList& groups)
{
    int n = groups.size();
    for (const QString& group : groups) {
        const int number = group.mid(8).toInt();
        if (number >= n)
            n = number + 1;
    }
    return n;
}

void Program::Start()
{
    checkIPTimer.start(1000);
    for (CQZClipwatch* instance : instances)
        instance->LoadDatabase();
}

void Program::AddInstance()
{
    instances.append(
        new CQZClipwatch(instances.size(), controllerAddress.toString().toStdString()));
    CQZClipwatch::instanceCount = static_cast<int>(instances.size());
}

int Program::RunCommand(const char* request, std::optional<std::string>& reply)
{
    return ExecuteCommand(*this, request, reply);
}

QList<CQZClipwatch*>& Program::Instances()
{
    return instances;
}

QString Program::ConnectionStatus() const
{
    return connectionStatus;
}

std::string Program::OwnAddress() const
{
    return ownAddress.toStdString();
}

void Program::SetElementCheck(int k, unsigned code, bool on)
{
    emit elementSwitched(k, code, on);
}

void Program::AddDatabase(const QString& path)
{
    emit databaseAdded(path);
}

void Program::InstanceAdded(int k)
{
    CQZClipwatch::instanceCount = static_cast<int>(instances.size());
    if (k >= kPanelCount)
        return;
    emit instanceAdded(k);
    instances[k]->LoadDatabase();
}

// The instance is stopped and its scanning thread ended before its settings group goes, so
// that nothing it still writes lands in the group of the instance that moves up.
void Program::RemoveInstance(int k)
{
    CQZClipwatch* removed = instances[k];
    removed->SetState(CQZClipwatch::cwsProcessingStopped);
    removed->state = CQZClipwatch::cwsApplicationExiting;
    removed->wait();
    removed->DeleteInstanceSettings(k);
    instances.removeAt(k);
    for (int j = k; j < instances.size(); ++j)
        instances[j]->SetNumber(j);
    delete removed;
    CQZClipwatch::instanceCount = std::max(1, static_cast<int>(instances.size()));
    emit instanceRemoved(k);
}

Program::~Program()
{
    // Nothing that ends from here on may call back into a program without instances.
    checkIPTimer.stop();
    probeTimer.stop();
    disconnect(socket, nullptr, this, nullptr);
    const QList<QProcess*> pings = findChildren<QProcess*>();
    for (QProcess* ping : pings) {
        disconnect(ping, nullptr, this, nullptr);
        delete ping;
    }
    qDeleteAll(instances);
    instances.clear();
}
