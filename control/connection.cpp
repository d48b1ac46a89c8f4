// The control connection: its slots (greeting and recovery on connecting, frames in and XML
// replies out, status texts and reconnects).
#include "control/program.h"

#include "control/frame.h"
#include "control/xmlreply.h"
#include "platform/qzlog.h"
#include "scanner/clipwatch.h"
#include "vexoutil/iputil.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QTcpSocket>

void Program::SetConnectionStatus(const QString& text)
{
    connectionStatus = text;
    ErrOut("Clipwatch: %s ", text.toUtf8().constData());
}

void Program::SendText(const QString& text)
{
    if (connectedFlag != 1 || socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write((text + control::kFrameMarker).toUtf8());
    socket->flush();
}

void Program::connected()
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
        // The jobs of a host that shares its catalogue run on shared services: they go on.
        if (instance->SharesCatalogue())
            continue;
        instance->RecoverInProgress();
        QMutexLocker lock(instance->checkThread.jobList.lock());
        instance->checkThread.jobList.clear();
    }
}

// The log lines of these slots keep the source place they have always named.
void Program::disconnected()
{
    connectedFlag = 0;
    if (reconnectFlag) {
        reconnectFlag = 0;
        qDebug("Attempting Reconnect %s %d", "connection.cpp", 155);
        checkIPTimer.start(1000);
    } else {
        qDebug("Disconnected %s %d", "connection.cpp", 158);
    }
    SetConnectionStatus(QString("Disconnected IP %1").arg(controllerAddress.toString()));
}

void Program::onReadReady()
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

void Program::error(QAbstractSocket::SocketError code)
{
    if (code == QAbstractSocket::ConnectionRefusedError ||
        code == QAbstractSocket::RemoteHostClosedError) {
        reconnectFlag = 1;
        checkIPTimer.start(1000);
    }
    qDebug("%s : %d %s %s %d", socket->peerAddress().toString().toUtf8().constData(),
           socket->localPort(), socket->errorString().toUtf8().constData(), "connection.cpp", 188);
    SetConnectionStatus(
        QString("Connected IP %1 %2").arg(controllerAddress.toString(), socket->errorString()));
}
