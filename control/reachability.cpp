// The reachability check of the service host: a ping with the system's ping tool, then the
// control connection, then the service probe, which also releases the auto-start instances.
#include "control/program.h"

#include "control/pingloss.h"
#include "platform/qzhttp.h"
#include "platform/vexorequests.h"
#include "scanner/clipwatch.h"

#include <QProcess>
#include <QTcpSocket>

namespace
{
// Port of the control connection on the controlling host.
constexpr quint16 kControlPort = 6216;
// Waits of the probe's two tries, and the pauses before the checks come again.
constexpr uint32_t kProbeFirstTryMs = 500;
constexpr uint32_t kProbeSecondTryMs = 2500;
constexpr int kPingAgainMs = 5000;
constexpr int kProbeAgainMs = 10000;
constexpr int kProbeAfterPingMs = 1000;
// Property of a ping process: its output so far, and whether its loss was acted on.
const char kPingOutput[] = "pingOutput";
const char kPingDecided[] = "pingDecided";
} // namespace

void Program::CheckIP()
{
    SetConnectionStatus(QString("Checking IP %1").arg(controllerAddress.toString()));
    auto* ping = new QProcess(this);
    connect(ping, &QProcess::readyReadStandardOutput, this, [this, ping] { ReadPing(ping); });
    connect(ping, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, ping] { PingEnded(ping); });
    connect(ping, &QProcess::errorOccurred, this, [this, ping](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            PingEnded(ping);
    });
    ping->start(pingCommand.value(0), pingCommand.mid(1) << controllerAddress.toString(),
                QIODevice::ReadWrite);
}

void Program::ReadPing(QProcess* ping)
{
    if (ping->property(kPingDecided).toBool())
        return;
    const QString output = ping->property(kPingOutput).toString() +
                           QString::fromLocal8Bit(ping->readAllStandardOutput());
    ping->setProperty(kPingOutput, output);
    const std::optional<int> loss = pingLoss(output);
    if (!loss)
        return;
    ping->setProperty(kPingDecided, true);
    HostChecked(*loss);
}

void Program::PingEnded(QProcess* ping)
{
    if (!ping->property(kPingDecided).toBool()) {
        ping->setProperty(kPingDecided, true);
        HostChecked(100);
    }
    ping->deleteLater();
}

void Program::HostChecked(int loss)
{
    const QString address = controllerAddress.toString();
    if (loss == 100) {
        SetConnectionStatus(QString("Host Not Found %1 retry in 5 seconds").arg(address));
        SetServiceStatus(QString("Host not found %1").arg(address));
        checkIPTimer.start(kPingAgainMs);
        return;
    }
    SetConnectionStatus(QString("Host Found %1").arg(address));
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->connectToHost(address, kControlPort, QIODevice::ReadWrite,
                              QAbstractSocket::AnyIPProtocol);
    SetServiceStatus("Connecting to Vexobase");
    probeTimer.start(kProbeAfterPingMs);
}

void Program::SetServiceStatus(const QString& text)
{
    serviceStatus = text;
    emit serviceStatusChanged(text);
}

bool Program::ProbeService(uint32_t timeoutMs) const
{
    const std::string url = vexoProbeRequest(controllerAddress.toString().toStdString());
    char* reply = nullptr;
    size_t length = 0;
    const bool answered = qzOSHTTPCommand(url.c_str(), kVexoMethod, kVexoHeader, nullptr, 0, &reply,
                                          &length, timeoutMs) == 0;
    QZFree(reply);
    return answered;
}

void Program::CheckVexoBase()
{
    const QString address = controllerAddress.toString();
    if (ProbeService(kProbeFirstTryMs) || ProbeService(kProbeSecondTryMs)) {
        SetServiceStatus(QString("Connected %1").arg(address));
    } else {
        SetServiceStatus(QString("No VexoBase %1").arg(address));
        probeTimer.start(kProbeAgainMs);
    }
    for (CQZClipwatch* instance : instances)
        instance->ResumeAutoStart();
}
