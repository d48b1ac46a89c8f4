// Blocking controller: accept, greeting, request and reply.
#include "tools/clipwatchctl/controller.h"

#include <QDeadlineTimer>

namespace ctl
{

bool Controller::listen(const QHostAddress& address, quint16 port)
{
    if (server.listen(address, port))
        return true;
    lastError = server.errorString();
    return false;
}

bool Controller::isConnected() const
{
    return socket && socket->state() == QAbstractSocket::ConnectedState;
}

bool Controller::readSome(int ms)
{
    if (!isConnected())
        return false;
    if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(ms))
        return isConnected();
    reader.append(QString::fromUtf8(socket->readAll()));
    return true;
}

std::optional<QString> Controller::waitForProgram(int ms)
{
    QDeadlineTimer deadline(ms);
    if (!server.waitForNewConnection(ms))
        return std::nullopt;
    socket.reset(server.nextPendingConnection());
    socket->setParent(nullptr);
    control::Received received;
    while (!deadline.hasExpired()) {
        if (reader.next(received) && !received.isReply)
            return received.text;
        if (!readSome(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return QString();
}

std::optional<QString> Controller::request(const QString& text, int ms)
{
    if (!isConnected())
        return std::nullopt;
    const QString tag = QString::number(nextTag++);
    socket->write(control::requestFrame(text, tag).toUtf8());
    socket->flush();
    QDeadlineTimer deadline(ms);
    control::Received received;
    while (!deadline.hasExpired()) {
        while (reader.next(received))
            if (received.isReply && received.tag == tag)
                return received.text;
        if (!readSome(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace ctl
