// Program: the core of the running program, with a window or without one. It owns the scanner
// instances (one per settings group), the control connection to the controlling host and the
// reachability check of the service host (a ping, then the service probe), and hosts the
// command interpreter. A window observes it through its signals and drives its own panels;
// without a window the signals reach nobody. Main thread only: the socket, the timers and the
// ping processes live there, and the instances' own threads never call it.
#pragma once

#include "control/commandhost.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTextCodec>
#include <QTextDecoder>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <string>

class QProcess;
class QTcpSocket;

class Program : public QObject, public CommandHost
{
    Q_OBJECT
public:
    // Creates one instance per settings group (groups are written for missing numbers).
    explicit Program(QObject* parent = nullptr);
    // Ends the checks and the connection's slots, then deletes the instances.
    ~Program() override;

    // Second start step, one second after the start: schedules the first reachability check in
    // one second and loads every instance's database.
    void Start();
    // Appends an instance whose service requests go to the controlling host.
    void AddInstance();
    // Runs one control request on the instances; see ExecuteCommand.
    int RunCommand(const char* request, std::optional<std::string>& reply);

    // The instance count of a settings store holding `groups`: at least the number of groups,
    // and more than every number after "Instance".
    static int CountInstances(const QStringList& groups);

    // CommandHost (control/program.cpp).
    QList<CQZClipwatch*>& Instances() override;
    QString ConnectionStatus() const override;
    std::string OwnAddress() const override;
    void SetElementCheck(int k, unsigned code, bool on) override;
    void AddDatabase(const QString& path) override;
    void InstanceAdded(int k) override;
    void RemoveInstance(int k) override;

    // Reachability check (control/reachability.cpp): ping the host; probe the service.
    void CheckIP();
    void CheckVexoBase();

    QList<CQZClipwatch*> instances; // owned; number = position
    QString serviceStatus;          // outcome of the reachability check

    // Control connection.
    QHostAddress controllerAddress;             // controlling host, also the service host
    QString ownAddress;                         // this machine's address, set on connecting
    QString connectionStatus = "Uninitialized"; // reported by getfirstscandir
    uint8_t connectedFlag = 0;                  // 1 while the connection is open
    uint8_t reconnectFlag = 1;                  // disconnected() schedules a new attempt
    QString receiveBuffer;                      // inbound text until frames are complete
    QTextDecoder receiveDecoder{QTextCodec::codecForName("UTF-8")}; // keeps split characters
    QTcpSocket* socket = nullptr;                                   // child of the program

    // Reachability check. The ping tool and its arguments before the address; tests put a
    // script here. The two timers run CheckIP() and CheckVexoBase(); scheduling one restarts
    // it, so each check is pending at most once.
    QStringList pingCommand = {"ping", "-c", "3", "-W", "1"};
    QTimer checkIPTimer;
    QTimer probeTimer;

signals:
    // A creation request appended instance `k`, which has a panel; it loads its database next.
    void instanceAdded(int k);
    // Instance `k` was removed and the later ones renumbered.
    void instanceRemoved(int k);
    // The panel steps of CommandHost.
    void elementSwitched(int k, unsigned code, bool on);
    void databaseAdded(const QString& path);
    // The reachability check's outcome, as serviceStatus now holds it.
    void serviceStatusChanged(const QString& text);

private:
    // Control connection (control/connection.cpp).
    void connected();
    void disconnected();
    void onReadReady();
    void error(QAbstractSocket::SocketError code);
    // Sets the connection status text and logs it.
    void SetConnectionStatus(const QString& text);
    // Writes `text` and the frame marker while the connection is open; drops it otherwise.
    void SendText(const QString& text);

    // Reachability check (control/reachability.cpp).
    // Reads the ping's output so far; acts once it holds the loss figure.
    void ReadPing(QProcess* ping);
    // A ping process ended or could not run; one without a loss figure counts as total loss.
    void PingEnded(QProcess* ping);
    // Acts on a ping's loss figure: opens the connection, or pings again later.
    void HostChecked(int loss);
    // One probe of the service within `timeoutMs`; true when it answered.
    bool ProbeService(uint32_t timeoutMs) const;
    // Sets serviceStatus and tells the window.
    void SetServiceStatus(const QString& text);
};
