// The control connection: its slots (greeting and recovery on connecting, frames in and XML
// replies out, status texts and reconnects), and the command interpreter's view of this window.
#include "ui/mainwindow.h"

#include "control/executecommand.h"
#include "control/frame.h"
#include "control/xmlreply.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "vexoutil/iputil.h"

#include <QComboBox>
#include <QDateTime>
#include <QMutexLocker>
#include <QTcpSocket>

#include <algorithm>

namespace
{

// The interpreter's host: this window's instances and panels.
class WindowCommands : public CommandHost
{
public:
    explicit WindowCommands(MainWindow& window) : w(window) {}

    QList<CQZClipwatch*>& Instances() override { return w.instances; }
    QString ConnectionStatus() const override { return w.connectionStatus; }
    std::string OwnAddress() const override { return w.ownAddress.toStdString(); }

    QString StatusText(int k) const override
    {
        return HasPanel(k) ? StatusLabel(k)->text() : QString();
    }

    void ClearStatusText(int k) override
    {
        if (HasPanel(k))
            StatusLabel(k)->setText(QString());
    }

    void SetElementCheck(int k, bool CWSSettings::*setting, bool on) override
    {
        if (!HasPanel(k))
            return;
        for (size_t i = 0; i < elementChecks.size(); ++i)
            if (elementChecks[i].setting == setting)
                w.panels[k].checks[i]->setChecked(on);
    }

    void AddDatabase(const QString& path) override { w.selector->addItem(path); }

    void InstanceAdded(int k) override
    {
        CQZClipwatch::instanceCount = static_cast<int>(w.instances.size());
        if (!HasPanel(k))
            return;
        const CWSSettings s = w.instances[k]->Settings();
        w.panels[k].labels[kDatabaseRow]->setText(QString::fromStdString(s.DataBase));
        w.panels[k].labels[kDirectoryRow]->setText(QString::fromStdString(s.Dir));
        w.AttachInstance(k);
        w.Relayout();
        w.instances[k]->LoadDatabase();
    }

    // The instance is stopped and its scanning thread ended before its settings group goes,
    // so that nothing it still writes lands in the group of the instance that moves up.
    void RemoveInstance(int k) override
    {
        CQZClipwatch* removed = w.instances[k];
        removed->SetState(CQZClipwatch::cwsProcessingStopped);
        removed->state = CQZClipwatch::cwsApplicationExiting;
        removed->wait();
        for (int p = 0; p < kPanelCount; ++p)
            w.DetachInstance(p);
        removed->DeleteInstanceSettings(k);
        w.instances.removeAt(k);
        for (int j = k; j < w.instances.size(); ++j)
            w.instances[j]->SetNumber(j);
        delete removed;
        w.RefreshPanels();
        w.Relayout();
    }

private:
    bool HasPanel(int k) const { return k >= 0 && k < kPanelCount && k < w.instances.size(); }
    QLabel* StatusLabel(int k) const
    {
        const auto row = std::find_if(panelRows.begin(), panelRows.end(), [](const PanelRow& r) {
            return r.label == CQZClipwatch::StateLabel;
        });
        return w.panels[k].labels[row - panelRows.begin()];
    }

    MainWindow& w;
};

} // namespace

int MainWindow::RunCommand(const char* request, std::optional<std::string>& reply)
{
    WindowCommands host(*this);
    return ExecuteCommand(host, request, reply);
}

void MainWindow::SetConnectionStatus(const QString& text)
{
    connectionStatus = text;
    ErrOut("Clipwatch: %s ", text.toUtf8().constData());
}

void MainWindow::SendText(const QString& text)
{
    if (connectedFlag != 1 || socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write((text + control::kFrameMarker).toUtf8());
    socket->flush();
}

void MainWindow::connected()
{
    const QString localAddress = socket->localAddress().toString();
    const quint16 localPort = socket->localPort();
    const QString commandIP = vexoCommandIP();
    ownAddress = commandIP == "0.0.0.0" ? ::localAddress(QString()).toString() : commandIP;
    const QString peer = socket->peerName();
    const quint16 peerPort = socket->peerPort();
    connectedFlag = 1;
    // A frame cut short by a controller that went away must not shift the new connection's.
    receiveBuffer.clear();

    const QString greeting =
        QString("Clipwatch Connected @ %1 %2 : %3 From %4 : %5")
            .arg(QDateTime::currentDateTime().toString("hh.mm.ss AP dd/MM/yyyy"), peer)
            .arg(peerPort)
            .arg(localAddress)
            .arg(localPort);
    ErrOut("%s", greeting.toUtf8().constData());
    SendText(greeting);
    SetConnectionStatus(QString("Connected IP %1").arg(controllerAddress.toString()));

    for (CQZClipwatch* instance : instances) {
        instance->RecoverInProgress();
        QMutexLocker lock(instance->checkThread.jobList.lock());
        instance->checkThread.jobList.clear();
    }
}

void MainWindow::disconnected()
{
    connectedFlag = 0;
    if (reconnectFlag) {
        reconnectFlag = 0;
        qDebug("Attempting Reconnect %s %d", "connection.cpp", __LINE__);
        checkIPTimer.start(1000);
    } else {
        qDebug("Disconnected %s %d", "connection.cpp", __LINE__);
    }
    SetConnectionStatus(QString("Disconnected IP %1").arg(controllerAddress.toString()));
}

void MainWindow::onReadReady()
{
    if (socket->bytesAvailable() < 2)
        return;
    receiveBuffer += receiveDecoder.toUnicode(socket->readAll());
    control::InboundFrame frame;
    while (control::takeFrame(receiveBuffer, frame)) {
        if (frame.request.isEmpty())
            continue;
        std::optional<std::string> reply;
        const int result = RunCommand(frame.request.toUtf8().constData(), reply);
        socket->write(control::replyFrame(frame.sdims, result, reply).toUtf8());
        socket->flush();
    }
}

void MainWindow::error(QAbstractSocket::SocketError code)
{
    if (code == QAbstractSocket::ConnectionRefusedError ||
        code == QAbstractSocket::RemoteHostClosedError) {
        reconnectFlag = 1;
        checkIPTimer.start(1000);
    }
    qDebug("%s : %d %s %s %d", socket->peerAddress().toString().toUtf8().constData(),
           socket->localPort(), socket->errorString().toUtf8().constData(), "connection.cpp",
           __LINE__);
    SetConnectionStatus(
        QString("Connected IP %1 %2").arg(controllerAddress.toString(), socket->errorString()));
}
