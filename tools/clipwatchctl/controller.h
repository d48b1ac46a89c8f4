// The controlling host's end of the control connection: listens, takes the program's
// connection, sends requests and waits for their replies. Blocking calls; one thread.
#pragma once

#include "control/frame.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <optional>

namespace ctl
{

class Controller
{
public:
    // Listens on `address`:`port`; false (with errorText()) when the port cannot be had.
    bool listen(const QHostAddress& address, quint16 port);
    QString errorText() const { return lastError; }

    // Waits up to `ms` for the program to connect; gives its greeting ("" when it sent none in
    // time), or nothing when no connection came.
    std::optional<QString> waitForProgram(int ms);

    // Sends `request` and waits up to `ms` for its reply document. A dropped connection or
    // a time-out gives nothing.
    std::optional<QString> request(const QString& request, int ms);

    bool isConnected() const;

private:
    // Reads what the socket has into the frame reader; false when the connection is gone.
    bool readSome(int ms);

    QTcpServer server;                  // listening socket
    std::unique_ptr<QTcpSocket> socket; // the program's connection, when there is one
    control::FrameReader reader;        // text received from the program
    int nextTag = 1;                    // tag of the next request
    QString lastError;                  // why listen() failed
};

} // namespace ctl
